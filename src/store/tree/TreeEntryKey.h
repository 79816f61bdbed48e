// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/StoreTypes.h"
#include "store/tree/STR_TREE_ITEM.h"

#include <compare>
#include <cstdint>

namespace parcelo {

// Names a tree entry across rebuilds of the tree: a folder's id stays the same for the life of
// its store, and the kind tells a folder's mailbox entry from its folder entry.
struct TreeEntryKey {
    StoreFolderId FolderId = kRootFolderId;
    std::int32_t Type = kTreeRoot;

    auto operator<=>(const TreeEntryKey&) const = default;
};

} // namespace parcelo
