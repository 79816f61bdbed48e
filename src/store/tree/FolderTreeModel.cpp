// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/tree/FolderTreeModel.h"

#include "store/tree/TreePath.h"

#include <algorithm>
#include <functional>

namespace parcelo {

namespace {

void forEachEntry(FolderTreeModel::Entry* entry,
                  const std::function<void(FolderTreeModel::Entry*)>& fn) {
    if (!entry)
        return;
    fn(entry);
    for (auto& child : entry->Children)
        forEachEntry(child.get(), fn);
}

void setSubtree(FolderTreeModel::Entry* entry, bool checked) {
    for (auto& child : entry->Children) {
        child->Checked = checked;
        setSubtree(child.get(), checked);
    }
}

int countLeaves(const FolderTreeModel::Entry* entry, bool checkedOnly) {
    int count = 0;
    for (const auto& child : entry->Children) {
        if (child->Children.empty())
            count += (!checkedOnly || child->Checked) ? 1 : 0;
        count += countLeaves(child.get(), checkedOnly);
    }
    return count;
}

int countBranches(const FolderTreeModel::Entry* entry) {
    int count = 0;
    for (const auto& child : entry->Children)
        count += (child->Children.empty() ? 0 : 1) + countBranches(child.get());
    return count;
}

std::vector<bool> checkStates(FolderTreeModel::Entry* root) {
    std::vector<bool> states;
    forEachEntry(root, [&](FolderTreeModel::Entry* e) { states.push_back(e->Checked); });
    return states;
}

// The entries whose check state differs from before; the tree's shape did not change.
std::vector<TreeEntryKey> changedSince(FolderTreeModel::Entry* root,
                                       const std::vector<bool>& before) {
    std::vector<TreeEntryKey> changed;
    size_t i = 0;
    forEachEntry(root, [&](FolderTreeModel::Entry* e) {
        if (e->Checked != before[i++])
            changed.push_back(e->Key());
    });
    return changed;
}

QString parentPath(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('\\'));
    return slash < 0 ? QString() : path.left(slash);
}

} // namespace

void FolderTreeModel::Clear() {
    root_.reset();
    records_.clear();
}

QString FolderTreeModel::RootName(const QString& storeDirectory) {
    QString directory = storeDirectory;
    while (directory.endsWith(QLatin1Char('/')) || directory.endsWith(QLatin1Char('\\')))
        directory.chop(1);
    while (!directory.isEmpty() && directory.back().isSpace())
        directory.chop(1);
    const qsizetype slash =
        std::max(directory.lastIndexOf(QLatin1Char('/')), directory.lastIndexOf(QLatin1Char('\\')));
    const QString name = directory.mid(slash + 1);
    return name.isEmpty() ? QStringLiteral("Local Folders") : name;
}

void FolderTreeModel::PopulateFolderTree(IStoreNamespace& store) {
    Clear();
    QString directory;
    if (!Succeeded(store.GetDirectory(&directory)))
        directory.clear();
    const QString rootName = RootName(directory);
    const QString rootPath = TreePathName(rootName.toUtf8());
    EnumerateStoreFolders(store, kRootFolderId, rootPath);

    root_ = std::make_unique<Entry>();
    root_->Text = rootName;
    root_->Image = kImageRoot;
    root_->Record.Type = kTreeRoot;
    root_->Record.Image = kImageRoot;
    root_->Record.Path = directory;
    root_->Record.Name = rootName;
    InsertChildItems(rootPath, root_.get());
    root_->Expanded = true;
}

bool FolderTreeModel::EnumerateStoreFolders(IStoreNamespace& store, StoreFolderId parent,
                                            const QString& path) {
    FOLDERPROPS props;
    HENUMSTORE handle = 0;
    HRESULT hr = store.GetFirstSubFolder(parent, &props, &handle);
    while (Succeeded(hr) && hr != S_FALSE) {
        STR_TREE_ITEM mailbox;
        mailbox.Type = kTreeMailbox;
        mailbox.Name = QString::fromLocal8Bit(props.szName);
        mailbox.Path = path + QLatin1Char('\\') + TreePathName(props.szName);
        mailbox.MessageCount = props.cMessage;
        mailbox.UnreadCount = props.cUnread;
        mailbox.SubFolderCount = props.cSubFolders;
        mailbox.FolderId = props.dwFolderId;
        mailbox.MessageCountText = QString::number(props.cMessage);
        mailbox.UnreadCountText = QString::number(props.cUnread);
        mailbox.Image = props.cMessage != 0 ? kImageMailboxFull : kImageMailboxEmpty;
        records_.push_front(mailbox);

        if (props.cSubFolders > 0) {
            STR_TREE_ITEM folder;
            folder.Type = kTreeFolder;
            folder.Image = kImageFolderClosed;
            folder.Name = mailbox.Name;
            folder.Path = mailbox.Path;
            folder.FolderId = mailbox.FolderId;
            folder.SubFolderCount = mailbox.SubFolderCount;
            folder.MessageCount = -1;
            folder.UnreadCount = -1;
            records_.push_front(folder);
            EnumerateStoreFolders(store, folder.FolderId, folder.Path);
        }
        hr = store.GetNextSubFolder(handle, &props);
    }
    if (handle != 0)
        store.GetSubFolderClose(handle);
    return true;
}

void FolderTreeModel::InsertChildItems(const QString& path, Entry* entry) {
    // Every record's parent found once: searching all records for each folder's children would
    // grow with the square of the folders.
    ChildRecords byParent;
    for (const STR_TREE_ITEM& record : records_)
        if (record.Path.contains(QLatin1Char('\\')))
            byParent[parentPath(record.Path)].push_back(&record);
    InsertChildItems(byParent, path, entry);
}

void FolderTreeModel::InsertChildItems(const ChildRecords& byParent, const QString& path,
                                       Entry* entry) {
    const auto found = byParent.find(path);
    if (found == byParent.end())
        return;
    std::vector<Entry*> folders;
    for (const STR_TREE_ITEM* record : *found) {
        if (record->Name.isEmpty() || record->Path.isEmpty() ||
            record->Name.compare(QLatin1String("Deleted Items"), Qt::CaseInsensitive) == 0)
            continue;
        auto child = std::make_unique<Entry>();
        child->Record = *record;
        child->Parent = entry;
        if (record->Type == kTreeMailbox) {
            child->Text = record->MessageCount > 0 ? record->Name + QStringLiteral(" [") +
                                                         record->MessageCountText + QLatin1Char(']')
                                                   : record->Name;
            child->Image = record->Image;
        } else if (record->Type == kTreeFolder) {
            child->Text = record->Name;
            child->Image = kImageFolderClosed;
            folders.push_back(child.get());
        } else {
            continue;
        }
        entry->Children.push_back(std::move(child));
    }
    // Sorted insertion, each after the texts equal to its own: a stable sort.
    std::stable_sort(entry->Children.begin(), entry->Children.end(),
                     [](const std::unique_ptr<Entry>& a, const std::unique_ptr<Entry>& b) {
                         return QString::compare(a->Text, b->Text, Qt::CaseInsensitive) < 0;
                     });
    for (Entry* folder : folders)
        InsertChildItems(byParent, folder->Record.Path, folder);
}

std::vector<TreeEntryKey> FolderTreeModel::OnCheckToggle(Entry* entry) {
    if (!entry || exportRunning_)
        return {};
    const std::vector<bool> before = checkStates(root_.get());
    ToggleCheck(entry);
    return changedSince(root_.get(), before);
}

std::vector<TreeEntryKey> FolderTreeModel::OnCheckToggle(const TreeEntryKey& key) {
    return OnCheckToggle(FindEntry(key));
}

void FolderTreeModel::ToggleCheck(Entry* entry) {
    const bool checked = !entry->Checked;
    const bool isRoot = entry->Record.Type == kTreeRoot;
    if (!checked && !isRoot)
        for (Entry* up = entry->Parent; up; up = up->Parent)
            up->Checked = false;
    if (entry->Record.Type != kTreeMailbox)
        setSubtree(entry, checked);
    entry->Checked = checked;
    if (checked && !isRoot) {
        // Check each ancestor whose other children are all checked, up to the first that has not.
        const Entry* from = entry;
        for (Entry* up = entry->Parent; up; from = up, up = up->Parent) {
            for (const auto& child : up->Children)
                if (child.get() != from && !child->Checked)
                    return;
            up->Checked = true;
        }
    }
}

void FolderTreeModel::SetExpanded(Entry* entry, bool expanded) {
    if (!entry)
        return;
    entry->Expanded = expanded;
    if (entry->Record.Type == kTreeFolder)
        entry->Image = expanded ? kImageFolderOpen : kImageFolderClosed;
}

std::vector<TreeEntryKey> FolderTreeModel::CheckAll() {
    if (exportRunning_)
        return {};
    const std::vector<bool> before = checkStates(root_.get());
    forEachEntry(root_.get(), [](Entry* e) { e->Checked = true; });
    return changedSince(root_.get(), before);
}

std::vector<TreeEntryKey> FolderTreeModel::ClearAll() {
    if (exportRunning_)
        return {};
    const std::vector<bool> before = checkStates(root_.get());
    forEachEntry(root_.get(), [](Entry* e) { e->Checked = false; });
    return changedSince(root_.get(), before);
}

int FolderTreeModel::CheckedCount() const {
    if (!root_)
        return 0;
    int count = countLeaves(root_.get(), true);
    if (root_->Children.empty() && root_->Checked)
        ++count;
    return count;
}

QString FolderTreeModel::CheckedCountText() const {
    const int count = CheckedCount();
    if (count == 0)
        return QStringLiteral("No checked mailboxes.");
    if (count == 1)
        return QStringLiteral("One mailbox checked.");
    return QString::number(count) + QStringLiteral(" mailboxes checked.");
}

QString FolderTreeModel::EntryStatisticsText(const Entry* entry) {
    if (!entry)
        return {};
    if (entry->Record.Type == kTreeMailbox)
        return entry->Record.Name + QStringLiteral("\r\nUnread messages: ") +
               entry->Record.UnreadCountText;
    return entry->Record.Name + QStringLiteral("\r\nSubfolders: ") +
           QString::number(countBranches(entry)) + QStringLiteral(" \u2022 Mailboxes: ") +
           QString::number(countLeaves(entry, false));
}

std::int32_t FolderTreeModel::EntryStatisticsImage(const Entry* entry) {
    if (!entry)
        return kImageRoot;
    switch (entry->Record.Type) {
    case kTreeRoot:
        return kImageRoot;
    case kTreeFolder:
        return entry->Expanded ? kImageFolderOpen : kImageFolderClosed;
    default:
        return entry->Record.MessageCount == 0 ? kImageMailboxEmpty : kImageMailboxFull;
    }
}

FolderTreeModel::Entry* FolderTreeModel::FindEntry(const QString& path, std::int32_t type) const {
    const QString canonical = CanonicalTreePath(path);
    Entry* found = nullptr;
    forEachEntry(root_.get(), [&](Entry* e) {
        if (!found && e->Record.Type == type &&
            (e->Record.Path == path || e->Record.Path == canonical))
            found = e;
    });
    return found;
}

QString FolderTreeModel::EntryPathText(const Entry* entry) {
    if (!entry)
        return {};
    const STR_TREE_ITEM& record = entry->Record;
    QString text = record.Type == kTreeRoot
                       ? TreePathName(record.Name.toUtf8())
                       : record.Path.mid(record.Path.lastIndexOf(QLatin1Char('\\')) + 1);
    if (record.Type == kTreeMailbox && record.MessageCount > 0)
        text += QStringLiteral(" [") + record.MessageCountText + QLatin1Char(']');
    return text;
}

FolderTreeModel::Entry* FolderTreeModel::FindEntry(const TreeEntryKey& key) const {
    Entry* found = nullptr;
    forEachEntry(root_.get(), [&](Entry* e) {
        if (!found && e->Key() == key)
            found = e;
    });
    return found;
}

} // namespace parcelo
