// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/tree/FolderTreeModel.h"

#include <QString>
#include <deque>

namespace parcelo {

// The folders an export run walks, in export order.
struct CheckedFolderSet {
    std::deque<StoreFolderId> CheckedFolderIds;
    std::deque<QString> CheckedFolderPaths;
    int TotalMessages = 0;

    void Clear();
    bool Empty() const { return CheckedFolderIds.empty(); }
};

// Walks the item, then its following siblings; a folder's sub-folders are accepted before
// the folder and each accepted one goes to the front, so A(A1, A2), B exports B, A, A2, A1.
void CollectCheckedFolders(const FolderTreeModel::Entry* item, CheckedFolderSet& set);

} // namespace parcelo
