#include "export/output/MessageFileDraft.h"

#include "platform/SystemErrorText.h"

#include <QFile>
#include <cerrno>
#include <sys/stat.h>

namespace parcelo {

namespace {

QByteArray DirectoryEntry(const QString& directory) {
    QByteArray native = QFile::encodeName(directory);
    if (!native.endsWith('/'))
        native += '/';
    return native;
}

} // namespace

int MessageFileDraft::start(const QString& directory, PendingFile::Naming naming,
                            const QByteArray& bytes) {
    file_.discard();
    identity_ = {};
    if (!directory_.open(DirectoryEntry(directory)))
        return errno;
    struct stat st;
    if (!file_.begin(directory_, {naming, false, false}) || !file_.write(bytes) ||
        !file_.identify(&st)) {
        const int failure = file_.failure() != 0 ? file_.failure() : EIO;
        file_.discard();
        return failure;
    }
    identity_ = FileIdentity::of(st);
    return 0;
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

bool MessageFileDraft::entryOf(const QString& path, FileInDirectory* entry, QString* error) const {
    const QByteArray native = QFile::encodeName(path);
    const qsizetype slash = native.lastIndexOf('/');
    if (directory_.isOpen() && slash >= 0 &&
        native.left(slash + 1) == directory_.directoryPath() + '/') {
        *entry = directory_.withName(native.mid(slash + 1));
        return true;
    }
    if (entry->open(native))
        return true;
    *error = path + QStringLiteral(": ") + SystemErrorText(errno);
    return false;
}

PlaceResult MessageFileDraft::place(const QString& path, QString* error) {
    FileInDirectory target;
    if (!entryOf(path, &target, error))
        return PlaceResult::Failed;
    const PlaceResult placed = file_.placeNew(target);
    if (placed == PlaceResult::Failed)
        *error = path + QStringLiteral(": ") + SystemErrorText(file_.failure());
    return placed;
}

bool MessageFileDraft::replace(const QString& path, QString* error) {
    FileInDirectory target;
    if (!entryOf(path, &target, error))
        return false;
    if (file_.replace(target) == PlaceResult::Placed)
        return true;
    *error = path + QStringLiteral(": ") + SystemErrorText(file_.failure());
    file_.discard();
    return false;
}

} // namespace parcelo
