// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/FileIdentity.h"
#include "platform/PendingFile.h"

#include <QByteArray>
#include <QString>

namespace parcelo {

using PlaceResult = PendingFile::Placed;

// A message file written complete but not yet under its name (see PendingFile): nameless where
// the file system offers it, else under a hidden temporary name. Whatever is not placed is
// discarded.
class MessageFileDraft {
public:
    // Writes the bytes in the directory; false, with the system's reason in error, otherwise.
    bool write(const QString& directory, const QByteArray& bytes, QString* error);
    // Writes the bytes as a nameless file only: false, leaving nothing behind, where the file
    // system has none or the writing fails.
    bool writeNameless(const QString& directory, const QByteArray& bytes);
    bool written() const { return file_.pending(); }
    // Which file was written: a name that stands for another file later is not this one's.
    // Looked at when first asked, which must be before it is placed; unknown when it cannot be.
    FileIdentity identity() const;
    // Gives the file the name unless anything (a file, a link, anything) already has it.
    PlaceResult place(const QString& path, QString* error);
    // Gives the file the name, replacing the entry there (a link is replaced, never followed);
    // on failure the old entry stays as it was.
    bool replace(const QString& path, QString* error);

    // Removes the drafts that runs which are no longer alive left in the directory (see
    // PendingFile::RemoveLeftovers).
    static void RemoveLeftovers(const QString& directory);

    using Lacking = PendingFile::Lacking;
    static void pretendLacking(Lacking lacking) { PendingFile::pretendLacking(lacking); }

private:
    // 0, or the errno of what failed.
    int start(const QString& directory, PendingFile::Naming naming, const QByteArray& bytes);

    PendingFile file_;
    mutable FileIdentity identity_;
};

} // namespace parcelo
