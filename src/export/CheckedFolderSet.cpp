// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/CheckedFolderSet.h"

namespace parcelo {

void CheckedFolderSet::Clear() {
    CheckedFolderIds.clear();
    CheckedFolderPaths.clear();
    TotalMessages = 0;
}

void CollectCheckedFolders(const FolderTreeModel::Entry* item, CheckedFolderSet& set) {
    for (; item; item = item->NextSibling()) {
        if (!item->Children.empty())
            CollectCheckedFolders(item->Children.front().get(), set);
        if (item->Checked && item->Record.Type == kTreeMailbox) {
            set.CheckedFolderIds.push_front(item->Record.FolderId);
            set.CheckedFolderPaths.push_front(item->Record.Path);
            set.TotalMessages += item->Record.MessageCount;
        }
    }
}

} // namespace parcelo
