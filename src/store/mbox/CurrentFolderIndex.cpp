// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/mbox/CurrentFolderIndex.h"

#include "store/mork/MailFolderIndex.h"

#include <QFile>
#include <sys/stat.h>

namespace parcelo {

namespace {

bool NotOlder(const timespec& a, const timespec& b) {
    return a.tv_sec > b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec >= b.tv_nsec);
}

} // namespace

std::unique_ptr<MailFolderIndex> ReadCurrentFolderIndex(const QString& mailboxPath,
                                                        QString* error) {
    const QString indexPath = mailboxPath + QStringLiteral(".msf");
    struct stat mailbox;
    struct stat index;
    if (::stat(QFile::encodeName(indexPath).constData(), &index) != 0 ||
        ::stat(QFile::encodeName(mailboxPath).constData(), &mailbox) != 0 ||
        !S_ISREG(index.st_mode) || !NotOlder(index.st_mtim, mailbox.st_mtim))
        return nullptr;
    auto read = std::make_unique<MailFolderIndex>();
    QString reason;
    if (!ReadMailFolderIndex(indexPath, read.get(), &reason)) {
        if (error)
            *error = indexPath + QStringLiteral(": ") + reason;
        return nullptr;
    }
    return read;
}

} // namespace parcelo
