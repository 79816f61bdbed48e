// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/StoreTypes.h"

#include <QString>
#include <cstdint>
#include <deque>

namespace parcelo {

enum TreeItemType : std::int32_t { kTreeMailbox = 1, kTreeFolder = 2, kTreeRoot = 3 };

enum TreeImage : std::int32_t {
    kImageRoot = 0,
    kImageFolderClosed = 1,
    kImageFolderOpen = 2,
    kImageMailboxEmpty = 3,
    kImageMailboxFull = 4,
};

// One record of the folder tree.
struct STR_TREE_ITEM {
    std::int32_t Type = kTreeMailbox;
    std::int32_t Image = kImageMailboxEmpty;
    StoreFolderId FolderId = 0;
    std::int32_t SubFolderCount = 0;
    std::int32_t MessageCount = 0;
    std::int32_t UnreadCount = 0;
    QString Path; // tree path (see TreePath.h); the root's: the store directory
    QString Name;
    QString MessageCountText;
    QString UnreadCountText;
};

// Every record the enumeration produced, each new one at the front.
using StoreFolderList = std::deque<STR_TREE_ITEM>;

} // namespace parcelo
