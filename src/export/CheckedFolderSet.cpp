// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/CheckedFolderSet.h"

#include <algorithm>

namespace parcelo {

void CheckedFolderSet::Clear() {
    CheckedFolderIds.clear();
    CheckedFolderPaths.clear();
    TotalMessages = 0;
}

namespace {

void CollectSubtree(const FolderTreeModel::Entry* item, CheckedFolderSet& set) {
    for (const auto& child : item->Children)
        CollectSubtree(child.get(), set);
    if (item->Checked && item->Record.Type == kTreeMailbox) {
        set.CheckedFolderIds.push_front(item->Record.FolderId);
        set.CheckedFolderPaths.push_front(item->Record.Path);
        set.TotalMessages += std::max(0, item->Record.MessageCount); // -1: not counted
    }
}

} // namespace

void CollectCheckedFolders(const FolderTreeModel::Entry* item, CheckedFolderSet& set) {
    if (!item)
        return;
    if (!item->Parent) {
        CollectSubtree(item, set);
        return;
    }
    // The siblings are walked by position: finding each next one anew would grow with the
    // square of their number.
    const auto& siblings = item->Parent->Children;
    auto it = std::find_if(siblings.begin(), siblings.end(),
                           [item](const auto& sibling) { return sibling.get() == item; });
    for (; it != siblings.end(); ++it)
        CollectSubtree(it->get(), set);
}

} // namespace parcelo
