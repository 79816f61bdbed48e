#pragma once

#include "platform/FileInDirectory.h"

#include <QString>
#include <sys/stat.h>

namespace parcelo {

// Writes the new content of a file to a temporary file in the same folder and, on commit,
// flushes it to disk and renames it over the original. Until then, and after any failure, the
// original stays as it was and the temporary file is removed.
class FileReplacement {
public:
    explicit FileReplacement(const FileInDirectory& target);
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    bool begin(QString* error);
    bool write(const char* data, qint64 size);
    // The errno of the call that failed (0: none), for the caller's message after write().
    int failure() const { return errno_; }
    // Flushes what was written to disk; commit() flushes again, which is then cheap.
    bool flush(QString* error);
    // replaced, when given: the file that the name must still stand for right before the
    // rename; another file there is left alone and the commit fails.
    bool commit(QString* error, const struct stat* replaced = nullptr);
    void abort();

    // Removes the temporary files of the target that a process which no longer exists left
    // behind (".NAME.parcelo-PID-N"). The target's folder is looked at once a process: the
    // leftovers of a run that dies later are removed by the next process. Returns how many
    // were removed.
    static int RemoveOrphans(const FileInDirectory& target);

    // Test seam: every replacement fails once this many bytes are written (-1: never).
    static void SetFailureAfterBytes(qint64 bytes);

private:
    FileInDirectory target_;
    QByteArray temporary_; // a name in the target's directory
    int fd_ = -1;
    qint64 written_ = 0;
    int errno_ = 0;
};

} // namespace parcelo
