// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/StoreDirectory.h"
#include "store/StoreTypes.h"

#include <QString>
#include <vector>

namespace parcelo {

// One folder of a store's tree. The store's nodes are kept in a vector whose index is the folder
// id: 0 the root, then a depth-first walk with each folder's sub-folders in name order.
struct MailFolderNode {
    enum class Kind { None, Mbox, Maildir };

    QByteArray name;        // as the file system spells it; UTF-8 where the layout decodes it
    Kind kind = Kind::None; // None: a folder that only holds sub-folders
    QString mailPath;       // the mbox file or the Maildir directory
    std::shared_ptr<const PathPin> pin; // keeps mailPath usable (see StoreDirEntry)
    std::vector<StoreFolderId> children;
};

// A folder as the layouts find it, before it is numbered.
struct MailFolderDraft {
    QByteArray name;
    MailFolderNode::Kind kind = MailFolderNode::Kind::None;
    QString mailPath;
    std::shared_ptr<const PathPin> pin;
    std::vector<MailFolderDraft> children;
};

// Sorts every level by name and numbers the folders depth first below the root (id 0).
std::vector<MailFolderNode> NumberFolders(const QString& rootName,
                                          std::vector<MailFolderDraft> topLevel);

} // namespace parcelo
