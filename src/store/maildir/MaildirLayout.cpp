// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/maildir/MaildirLayout.h"

#include "store/maildir/ModifiedUtf7.h"
#include "store/mbox/MboxLayout.h"

#include <QFileInfo>
#include <unordered_map>

namespace parcelo {

namespace {

bool IsMaildir(const QString& directory) {
    return QFileInfo(directory + QStringLiteral("/cur")).isDir();
}

std::vector<StoreDirEntry> SubDirectories(const StorePath& directory) {
    std::vector<StoreDirEntry> directories = ListStoreDirectory(directory);
    std::erase_if(directories, [](const StoreDirEntry& entry) {
        return entry.kind != StoreDirEntry::Kind::Directory;
    });
    return directories;
}

bool IsPlainSubDirectory(const QByteArray& name) {
    return !name.startsWith('.') && name != "cur" && name != "new" && name != "tmp";
}

// Looks for Maildirs below directory, whose sub-directories are folders of level. The search
// stays on the store's file system: a link to a Maildir elsewhere is a folder, but a link to "/"
// must not make it search the whole system. Recursive: a level costs one frame of a few hundred
// bytes, and the search stops at kMaxFolderLevel.
std::vector<MailFolderDraft> Nested(const StorePath& directory, dev_t device,
                                    VisitedDirectories* visited,
                                    std::vector<SkippedFolder>* skipped, int level) {
    std::vector<MailFolderDraft> folders;
    for (const StoreDirEntry& entry : SubDirectories(directory)) {
        if (!IsPlainSubDirectory(entry.name) || !visited->insert(entry.identity).second)
            continue;
        const StorePath path = EntryPath(directory, entry);
        if (path.path.isEmpty())
            continue;
        if (!TakesOrNotesSkipped(path, level, skipped))
            continue;
        MailFolderDraft draft;
        draft.name = entry.name;
        if (entry.identity.device == device)
            draft.children = Nested(path, device, visited, skipped, level + 1);
        if (IsMaildir(path.path)) {
            draft.kind = MailFolderNode::Kind::Maildir;
            draft.mailPath = path.path;
        } else if (draft.children.empty()) {
            continue;
        }
        draft.pin = path.pin;
        folders.push_back(std::move(draft));
    }
    return folders;
}

// Whether Nested would find a Maildir below directory; stops at the first one.
bool HasNestedMaildir(const StorePath& directory, dev_t device, VisitedDirectories* visited,
                      int level) {
    for (const StoreDirEntry& entry : SubDirectories(directory)) {
        if (!IsPlainSubDirectory(entry.name) || !visited->insert(entry.identity).second)
            continue;
        const StorePath path = EntryPath(directory, entry);
        if (path.path.isEmpty() || !ReasonToSkip(path, level).isEmpty())
            continue;
        if (IsMaildir(path.path) ||
            (entry.identity.device == device && HasNestedMaildir(path, device, visited, level + 1)))
            return true;
    }
    return false;
}

// Where each folder of a Maildir++ tree lies in its level, by the names of its path: a search
// among the siblings for each directory would grow with the square of their number.
class PlusPlusLevels {
public:
    MailFolderDraft* findOrAdd(std::vector<MailFolderDraft>* level, QByteArray* key,
                               const QByteArray& name) {
        const qint32 size = qint32(name.size());
        key->append(reinterpret_cast<const char*>(&size), sizeof size).append(name);
        const auto [it, added] = positions_.try_emplace(*key, level->size());
        if (added)
            level->push_back(
                MailFolderDraft{name, MailFolderNode::Kind::None, QString(), nullptr, {}});
        return &(*level)[it->second];
    }

private:
    std::unordered_map<QByteArray, size_t> positions_;
};

// A Maildir++ name part is modified UTF-7; one that is not even UTF-8 keeps its bytes.
QByteArray PartName(const QByteArray& part) {
    const QString text = QString::fromUtf8(part);
    return text.toUtf8() == part ? DecodeModifiedUtf7(text).toUtf8() : part;
}

std::vector<MailFolderDraft> MaildirPlusPlus(const StorePath& directory,
                                             VisitedDirectories* visited) {
    std::vector<MailFolderDraft> folders;
    PlusPlusLevels levels;
    for (const StoreDirEntry& entry : SubDirectories(directory)) {
        const QByteArray& name = entry.name;
        if (!name.startsWith('.') || name.size() < 2)
            continue;
        const StorePath path = EntryPath(directory, entry);
        if (path.path.isEmpty() || !IsMaildir(path.path))
            continue;
        const QList<QByteArray> parts = name.mid(1).split('.');
        if (parts.contains(QByteArray()) || !visited->insert(entry.identity).second)
            continue;
        std::vector<MailFolderDraft>* level = &folders;
        MailFolderDraft* folder = nullptr;
        QByteArray key;
        for (const QByteArray& part : parts) {
            folder = levels.findOrAdd(level, &key, PartName(part));
            level = &folder->children;
        }
        folder->kind = MailFolderNode::Kind::Maildir;
        folder->mailPath = path.path;
        folder->pin = path.pin;
    }
    return folders;
}

} // namespace

bool LooksLikeMaildir(const QString& directory) {
    if (IsMaildir(directory))
        return true;
    const StorePath top{directory, nullptr};
    for (const StoreDirEntry& entry : SubDirectories(top))
        if (entry.name.startsWith('.') && IsMaildir(EntryPath(top, entry).path))
            return true;
    if (!MboxFolders(directory).empty())
        return false;
    VisitedDirectories visited;
    FileIdentity identity;
    if (!DirectoryIdentity(directory, &identity))
        return false;
    visited.insert(identity);
    return HasNestedMaildir({directory, nullptr}, identity.device, &visited, 1);
}

std::vector<MailFolderDraft> MaildirFolders(const QString& directory,
                                            std::vector<SkippedFolder>* skipped) {
    std::vector<MailFolderDraft> folders;
    VisitedDirectories visited;
    FileIdentity identity;
    if (!DirectoryIdentity(directory, &identity))
        return folders;
    visited.insert(identity);
    if (IsMaildir(directory))
        folders.push_back(
            MailFolderDraft{"Inbox", MailFolderNode::Kind::Maildir, directory, nullptr, {}});
    for (MailFolderDraft& folder : MaildirPlusPlus({directory, nullptr}, &visited))
        folders.push_back(std::move(folder));
    for (MailFolderDraft& folder :
         Nested({directory, nullptr}, identity.device, &visited, skipped, 1))
        folders.push_back(std::move(folder));
    return folders;
}

} // namespace parcelo
