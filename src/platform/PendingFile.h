// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/FileInDirectory.h"

#include <QByteArray>
#include <sys/stat.h>

namespace parcelo {

// A file written in its directory before it has its name, and given the name complete, so that
// a name never stands for part of a file. It is written nameless where asked and the file
// system allows (a run killed before the file is named leaves nothing behind), else under a
// hidden temporary name: ".NAME.parcelo-PID-N" after the name it is meant to get, or
// ".parcelo-PID-N" when that is settled only later. Whatever is not named is discarded.
class PendingFile {
public:
    enum class Naming {
        Temporary,          // under a temporary name
        NamelessIfPossible, // without a name where the file system has such files
        NamelessOnly,       // without a name, or not at all (failure() is EOPNOTSUPP)
    };
    struct Options {
        Naming naming = Naming::Temporary;
        bool durable = false; // flushed to disk before it is named, and its directory after
        // The mode of the file the name stands for now, else 0666 less the umask. A file
        // whose mode is kept is unreadable to others until it has it.
        bool keepMode = false;
    };
    enum class Placed {
        Placed, // the file has the name
        Taken,  // the name stands for another file than expected: nothing changed
        Failed, // nothing changed; failure() says why
    };

    PendingFile() = default;
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    PendingFile(PendingFile&& other) noexcept;
    PendingFile& operator=(PendingFile&& other) noexcept;

    // Starts the file in target's directory, meant for target's name (empty: settled later).
    // False, with failure() set, when it cannot be made.
    bool begin(const FileInDirectory& target, Options options);
    // Writes all the bytes, going on after short writes; false, with failure() set, otherwise.
    bool write(const char* data, qint64 size);
    bool write(const QByteArray& bytes) { return write(bytes.constData(), bytes.size()); }
    // Flushes what was written to disk.
    bool flush();
    // The errno of the call that failed (0: none).
    int failure() const { return errno_; }
    // Whether there is a file written and not named yet.
    bool pending() const { return fd_ >= 0 || !temporary_.isEmpty(); }
    // Which file it is, while it is open.
    bool identify(struct stat* st) const;

    // Gives the file the name unless anything (a file, a link, a directory) has it.
    Placed placeNew(const FileInDirectory& name);
    // Gives the file the name, replacing the entry there (a link is replaced, not followed).
    // replaced, when given: the file the name must still stand for right before the rename;
    // another file there stays and the result is Taken.
    Placed replace(const FileInDirectory& name, const struct stat* replaced = nullptr);
    void discard();

    // Removes the temporary files that processes which no longer exist left behind for
    // target's name (for no name when it is empty); call it before writing that name. Only
    // that name's are touched: another name's may be written by a program on another host,
    // under a lock of its own. A directory is listed once a process, whatever its size, and
    // each name's leftovers taken from that listing when they are asked for; the leftovers of
    // a run that dies later are removed by the next process. Returns how many were removed.
    static int RemoveLeftovers(const FileInDirectory& target);

    // Test seams. Every file fails with ENOSPC once this many bytes are written (-1: never).
    static void SetFailureAfterBytes(qint64 bytes);
    // What the system is taken to lack from now on, so that tests run the ways around it:
    // without nameless files a temporary name is used; without linking a descriptor itself, a
    // nameless file is named through its /proc entry.
    struct Lacking {
        bool namelessFiles = false;
        bool descriptorLinks = false;
    };
    static void pretendLacking(Lacking lacking);

private:
    bool fail(int error);
    Placed failed(int error);
    // Closes the file once it is written; false when the system reports a delayed failure.
    bool closeFile();

    FileInDirectory directory_; // the directory, with the name meant
    Options options_;
    int fd_ = -1;
    QByteArray temporary_; // the temporary name; empty for a nameless file
    qint64 written_ = 0;
    int errno_ = 0;
};

} // namespace parcelo
