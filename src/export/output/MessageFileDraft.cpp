// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/output/MessageFileDraft.h"

#include "platform/FileInDirectory.h"
#include "platform/SystemErrorText.h"

#include <QFile>
#include <cerrno>
#include <sys/stat.h>

namespace parcelo {

namespace {

// The directory as the entry with no name in it, reached by its path: a file written once
// needs no descriptor of its directory.
FileInDirectory DirectoryEntry(const QString& directory) {
    QByteArray native = QFile::encodeName(directory);
    if (!native.endsWith('/'))
        native += '/';
    return FileInDirectory::ByPath(native);
}

} // namespace

void MessageFileDraft::RemoveLeftovers(const QString& directory) {
    PendingFile::RemoveLeftovers(DirectoryEntry(directory));
}

int MessageFileDraft::start(const QString& directory, PendingFile::Naming naming,
                            const QByteArray& bytes) {
    file_.discard();
    identity_ = {};
    if (!file_.begin(DirectoryEntry(directory), {naming, false, false}) || !file_.write(bytes)) {
        const int failure = file_.failure() != 0 ? file_.failure() : EIO;
        file_.discard();
        return failure;
    }
    return 0;
}

FileIdentity MessageFileDraft::identity() const {
    struct stat st;
    if (!identity_.known() && file_.identify(&st))
        identity_ = FileIdentity::of(st);
    return identity_;
}

bool MessageFileDraft::write(const QString& directory, const QByteArray& bytes, QString* error) {
    const int failure = start(directory, PendingFile::Naming::NamelessIfPossible, bytes);
    if (failure != 0)
        *error = SystemErrorText(failure);
    return failure == 0;
}

bool MessageFileDraft::writeNameless(const QString& directory, const QByteArray& bytes) {
    return start(directory, PendingFile::Naming::NamelessOnly, bytes) == 0;
}

PlaceResult MessageFileDraft::place(const QString& path, QString* error) {
    const PlaceResult placed = file_.placeNew(FileInDirectory::ByPath(QFile::encodeName(path)));
    if (placed == PlaceResult::Failed)
        *error = path + QStringLiteral(": ") + SystemErrorText(file_.failure());
    return placed;
}

bool MessageFileDraft::replace(const QString& path, QString* error) {
    if (file_.replace(FileInDirectory::ByPath(QFile::encodeName(path))) == PlaceResult::Placed)
        return true;
    *error = path + QStringLiteral(": ") + SystemErrorText(file_.failure());
    file_.discard();
    return false;
}

} // namespace parcelo
