// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/mbox/MboxLayout.h"

#include "store/mbox/MboxScanner.h"

#include <QFileInfo>
#include <map>

namespace parcelo {

namespace {

const QByteArray kSbd = QByteArrayLiteral(".sbd");

bool Ignored(const QByteArray& name) {
    return name.startsWith('.') || name.endsWith(".msf") || name.endsWith(".lock");
}

struct Walk {
    VisitedDirectories visited;
    std::vector<SkippedFolder>* skipped;

    bool takes(const StorePath& path, int level) {
        return TakesOrNotesSkipped(path, level, skipped);
    }
};

// level: that of the directory's folders. Recursive: a level costs one frame of a few hundred
// bytes, and the walk stops at kMaxFolderLevel.
std::vector<MailFolderDraft> Folders(const StorePath& directory, Walk* walk, int level) {
    std::vector<MailFolderDraft> folders;
    std::map<QByteArray, MailFolderDraft> byName;
    for (const StoreDirEntry& entry : ListStoreDirectory(directory)) {
        const QByteArray& name = entry.name;
        if (Ignored(name))
            continue;
        if (entry.kind == StoreDirEntry::Kind::Directory) {
            // A NAME.sbd that leads back to a directory of the walk adds no folder: a link
            // to "." would otherwise nest the same folders without end.
            if (!name.endsWith(kSbd) || name.size() == kSbd.size() ||
                !walk->visited.insert(entry.identity).second)
                continue;
            const StorePath path = EntryPath(directory, entry);
            if (path.path.isEmpty() || !walk->takes(path, level + 1))
                continue;
            MailFolderDraft& draft = byName[name.chopped(kSbd.size())];
            draft.name = name.chopped(kSbd.size());
            draft.children = Folders(path, walk, level + 1);
        } else if (entry.kind == StoreDirEntry::Kind::RegularFile) {
            const StorePath path = EntryPath(directory, entry);
            if (path.path.isEmpty() || !walk->takes(path, level) || !LooksLikeMbox(path.path))
                continue;
            MailFolderDraft& draft = byName[name];
            draft.name = name;
            draft.kind = MailFolderNode::Kind::Mbox;
            draft.mailPath = path.path;
            draft.pin = path.pin;
        }
    }
    for (auto& [name, draft] : byName)
        folders.push_back(std::move(draft));
    return folders;
}

} // namespace

std::vector<MailFolderDraft> MboxFolders(const QString& directory,
                                         std::vector<SkippedFolder>* skipped) {
    Walk walk{{}, skipped};
    FileIdentity identity;
    if (!DirectoryIdentity(directory, &identity))
        return {};
    walk.visited.insert(identity);
    return Folders({directory, nullptr}, &walk, 1);
}

std::vector<MailFolderDraft> MboxFileFolders(const QString& file,
                                             std::vector<SkippedFolder>* skipped) {
    const QFileInfo info(file);
    MailFolderDraft draft;
    draft.name = QFile::encodeName(info.fileName());
    draft.kind = MailFolderNode::Kind::Mbox;
    draft.mailPath = info.absoluteFilePath();
    const QString sbd = info.absoluteFilePath() + QString::fromLatin1(kSbd);
    Walk walk{{}, skipped};
    FileIdentity identity;
    if (DirectoryIdentity(info.absolutePath(), &identity))
        walk.visited.insert(identity);
    if (DirectoryIdentity(sbd, &identity) && walk.visited.insert(identity).second)
        draft.children = Folders({sbd, nullptr}, &walk, 2);
    return {draft};
}

} // namespace parcelo
