#include "store/mbox/MboxLayout.h"

#include "store/mbox/MboxScanner.h"

#include <QFileInfo>
#include <map>

namespace parcelo {

namespace {

constexpr int kMaxDepth = 64; // bounds a tree nested that deep on purpose

const QByteArray kSbd = QByteArrayLiteral(".sbd");

bool Ignored(const QByteArray& name) {
    return name.startsWith('.') || name.endsWith(".msf") || name.endsWith(".lock");
}

std::vector<MailFolderDraft> Folders(const StorePath& directory, VisitedDirectories* visited,
                                     int depth) {
    std::vector<MailFolderDraft> folders;
    if (depth > kMaxDepth)
        return folders;
    std::map<QByteArray, MailFolderDraft> byName;
    for (const StoreDirEntry& entry : ListStoreDirectory(directory)) {
        const QByteArray& name = entry.name;
        if (Ignored(name))
            continue;
        if (entry.kind == StoreDirEntry::Kind::Directory) {
            // A NAME.sbd that leads back to a directory of the walk adds no folder: a link
            // to "." would otherwise nest the same folders without end.
            if (!name.endsWith(kSbd) || name.size() == kSbd.size() ||
                !visited->insert(entry.identity).second)
                continue;
            const StorePath path = EntryPath(directory, entry);
            if (path.path.isEmpty())
                continue;
            MailFolderDraft& draft = byName[name.chopped(kSbd.size())];
            draft.name = name.chopped(kSbd.size());
            draft.children = Folders(path, visited, depth + 1);
        } else if (entry.kind == StoreDirEntry::Kind::RegularFile) {
            const StorePath path = EntryPath(directory, entry);
            if (path.path.isEmpty() || !LooksLikeMbox(path.path))
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

std::vector<MailFolderDraft> MboxFolders(const QString& directory) {
    VisitedDirectories visited;
    FileIdentity identity;
    if (!DirectoryIdentity(directory, &identity))
        return {};
    visited.insert(identity);
    return Folders({directory, nullptr}, &visited, 0);
}

std::vector<MailFolderDraft> MboxFileFolders(const QString& file) {
    const QFileInfo info(file);
    MailFolderDraft draft;
    draft.name = QFile::encodeName(info.fileName());
    draft.kind = MailFolderNode::Kind::Mbox;
    draft.mailPath = info.absoluteFilePath();
    const QString sbd = info.absoluteFilePath() + QString::fromLatin1(kSbd);
    VisitedDirectories visited;
    FileIdentity identity;
    if (DirectoryIdentity(info.absolutePath(), &identity))
        visited.insert(identity);
    if (DirectoryIdentity(sbd, &identity) && visited.insert(identity).second)
        draft.children = Folders({sbd, nullptr}, &visited, 1);
    return {draft};
}

} // namespace parcelo
