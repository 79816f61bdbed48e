// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/IStoreNamespace.h"
#include "store/LocalStoreNamespace.h"
#include "store/RegularFile.h"
#include "store/maildir/MaildirLayout.h"
#include "store/mbox/MboxLayout.h"
#include "store/mbox/MboxScanner.h"

#include <QDir>
#include <QFileInfo>

namespace parcelo {

std::unique_ptr<IStoreNamespace> CreateStoreNamespace(const QString& path, QString* error) {
    QString ignored;
    if (!error)
        error = &ignored;
    if (path.isEmpty()) {
        *error = QStringLiteral("No store path was given.");
        return nullptr;
    }
    const QFileInfo info(path);
    const QString absolute = QDir::cleanPath(info.absoluteFilePath());
    if (!info.exists()) {
        *error = QStringLiteral("The store %1 does not exist.").arg(absolute);
        return nullptr;
    }
    if (!info.isReadable()) {
        *error = QStringLiteral("The store %1 cannot be read (permission denied).").arg(absolute);
        return nullptr;
    }
    if (IsOnPseudoFileSystem(absolute)) {
        *error = QStringLiteral("%1 is a system folder (/proc or /sys), not a mail store.")
                     .arg(absolute);
        return nullptr;
    }
    if (info.isDir()) {
        if (!QDir(absolute).isReadable()) {
            *error = QStringLiteral("The store folder %1 cannot be read.").arg(absolute);
            return nullptr;
        }
        const QString rootName = QFileInfo(absolute).fileName();
        std::vector<SkippedFolder> skipped;
        std::vector<MailFolderDraft> folders = LooksLikeMaildir(absolute)
                                                   ? MaildirFolders(absolute, &skipped)
                                                   : MboxFolders(absolute, &skipped);
        return std::make_unique<LocalStoreNamespace>(
            absolute, NumberFolders(rootName, std::move(folders)), std::move(skipped));
    }
    if (!info.isFile()) {
        *error = QStringLiteral("The store %1 is neither a folder nor a file.").arg(absolute);
        return nullptr;
    }
    if (!LooksLikeMbox(absolute)) {
        *error = QStringLiteral("The file %1 is not an mbox mailbox (it does not start with "
                                "\"From \").")
                     .arg(absolute);
        return nullptr;
    }
    const QString holder = QFileInfo(absolute).absolutePath();
    std::vector<SkippedFolder> skipped;
    std::vector<MailFolderDraft> folders = MboxFileFolders(absolute, &skipped);
    return std::make_unique<LocalStoreNamespace>(
        holder, NumberFolders(QFileInfo(holder).fileName(), std::move(folders)),
        std::move(skipped));
}

} // namespace parcelo
