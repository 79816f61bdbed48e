// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/IStoreNamespace.h"
#include "store/tree/STR_TREE_ITEM.h"
#include "store/tree/TreeEntryKey.h"

#include <QHash>
#include <QString>
#include <memory>
#include <vector>

namespace parcelo {

// The folder tree without a widget: entries with texts, images and check boxes built from
// the store's folders. The window shows it; the command line checks and exports from it.
class FolderTreeModel {
public:
    struct Entry {
        QString Text;
        std::int32_t Image = 0;
        STR_TREE_ITEM Record;
        bool Checked = false;
        bool Expanded = false;
        Entry* Parent = nullptr;
        std::vector<std::unique_ptr<Entry>> Children;

        TreeEntryKey Key() const { return {Record.FolderId, Record.Type}; }
    };

    // Empties the tree and builds it from the store.
    void PopulateFolderTree(IStoreNamespace& store);
    void Clear();

    bool EnumerateStoreFolders(IStoreNamespace& store, StoreFolderId parent, const QString& path);
    void InsertChildItems(const QString& path, Entry* entry);

    static QString RootName(const QString& storeDirectory);

    Entry* Root() const { return root_.get(); }
    const StoreFolderList& Records() const { return records_; }

    // While an export runs its checked folders are its input: check changes are refused.
    bool ExportRunning() const { return exportRunning_; }
    void SetExportRunning(bool running) { exportRunning_ = running; }

    // Flips an entry's check box and keeps parents and children consistent. Each returns the
    // keys of the entries whose check state changed, in tree order; none while an export runs.
    std::vector<TreeEntryKey> OnCheckToggle(Entry* entry);
    std::vector<TreeEntryKey> OnCheckToggle(const TreeEntryKey& key);
    std::vector<TreeEntryKey> CheckAll();
    std::vector<TreeEntryKey> ClearAll();
    void SetExpanded(Entry* entry, bool expanded);

    int CheckedCount() const;
    QString CheckedCountText() const; // the status text of UpdateCheckedCount

    // The information panel's text and icon for an entry.
    static QString EntryStatisticsText(const Entry* entry);
    static std::int32_t EntryStatisticsImage(const Entry* entry);

    // The entry's text with its name as its tree path writes it (see TreePath.h): what the
    // command line prints, so that it can be given back as a path and holds no control character.
    static QString EntryPathText(const Entry* entry);

    // Finds the entry of the given type whose record has this tree path, in any spelling of
    // its escapes.
    Entry* FindEntry(const QString& path, std::int32_t type) const;
    // The entry with this key in the current tree; null once it is gone.
    Entry* FindEntry(const TreeEntryKey& key) const;

private:
    using ChildRecords = QHash<QString, std::vector<const STR_TREE_ITEM*>>;
    void InsertChildItems(const ChildRecords& byParent, const QString& path, Entry* entry);
    void ToggleCheck(Entry* entry);

    StoreFolderList records_;
    std::unique_ptr<Entry> root_;
    bool exportRunning_ = false;
};

} // namespace parcelo
