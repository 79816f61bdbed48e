// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SaveWholeFile.h"

#include "platform/FileInDirectory.h"
#include "platform/PendingFile.h"
#include "platform/SystemErrorText.h"

#include <QFile>
#include <cerrno>
#include <climits>
#include <unistd.h>

namespace parcelo {

namespace {

// The entry that path leads to with every link followed, also to a name that does not exist.
QByteArray FollowLinks(QByteArray path) {
    for (int hop = 0; hop < 40; ++hop) {
        char target[PATH_MAX];
        const ssize_t size = ::readlink(path.constData(), target, sizeof target);
        if (size <= 0 || size == ssize_t(sizeof target))
            break;
        const QByteArray next(target, size);
        const qsizetype slash = path.lastIndexOf('/');
        path = next.startsWith('/') || slash < 0 ? next : path.left(slash + 1) + next;
    }
    return path;
}

} // namespace

bool SaveWholeFile(const QString& path, const QByteArray& bytes, QString* error) {
    const auto failed = [error](int failure) {
        if (error)
            *error = SystemErrorText(failure != 0 ? failure : EIO);
        return false;
    };
    FileInDirectory target;
    if (!target.open(FollowLinks(QFile::encodeName(path))))
        return failed(errno);
    PendingFile::RemoveLeftovers(target);
    PendingFile file;
    if (!file.begin(target, {PendingFile::Naming::NamelessIfPossible, true, true}) ||
        !file.write(bytes) || file.replace(target) != PendingFile::Placed::Placed)
        return failed(file.failure());
    return true;
}

} // namespace parcelo
