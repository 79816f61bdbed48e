#pragma once

#include "export/output/WriteMessageFile.h"

#include <QByteArray>
#include <QString>

namespace parcelo {

// A message file written complete but not yet under its name: a nameless file where the file
// system offers one (a run killed before the file is named leaves nothing behind), else a
// hidden temporary file (see WriteTemporaryMessageFile). Whatever is not placed is discarded.
class MessageFileDraft {
public:
    MessageFileDraft() = default;
    ~MessageFileDraft();
    MessageFileDraft(const MessageFileDraft&) = delete;
    MessageFileDraft& operator=(const MessageFileDraft&) = delete;
    MessageFileDraft(MessageFileDraft&& other) noexcept;
    MessageFileDraft& operator=(MessageFileDraft&& other) noexcept;

    // Writes the bytes in the directory; false, with the system's reason in error, otherwise.
    bool write(const QString& directory, const QByteArray& bytes, QString* error);
    // Writes the bytes as a nameless file only: false, leaving nothing behind, where the file
    // system has none or the writing fails.
    bool writeNameless(const QString& directory, const QByteArray& bytes);
    bool written() const { return fd_ >= 0 || !temporary_.isEmpty(); }
    // Which file was written: a name that stands for another file later is not this one's.
    FileIdentity identity() const { return identity_; }
    // Gives the file the name unless anything (a file, a link, anything) already has it.
    PlaceResult place(const QString& path, QString* error);

    // What the system is taken to lack from now on, so that tests run the ways around it:
    // without nameless files the bytes go to a hidden temporary file; without linking a
    // descriptor itself, a nameless file is named through its /proc entry.
    struct Lacking {
        bool namelessFiles = false;
        bool descriptorLinks = false;
    };
    static void pretendLacking(Lacking lacking);

private:
    void discard();

    int fd_ = -1;       // the nameless file, open
    QString temporary_; // or the temporary one
    FileIdentity identity_;
};

} // namespace parcelo
