// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/MailFolderNode.h"
#include "store/SkippedFolder.h"

namespace parcelo {

// The folders of an mbox tree: every regular mail file of the directory (see LooksLikeMbox),
// with its sub-folders in NAME.sbd; a NAME.sbd without NAME is a folder without messages.
// Dot-files, *.msf index files, *.lock files and every other file are ignored, and so is a
// NAME.sbd that is a directory the walk has entered already (through a link). What it cannot
// take for its depth or the length of its path goes to skipped, when given.
std::vector<MailFolderDraft> MboxFolders(const QString& directory,
                                         std::vector<SkippedFolder>* skipped = nullptr);

// One mbox file as a store of one mailbox (and its NAME.sbd sub-folders).
std::vector<MailFolderDraft> MboxFileFolders(const QString& file,
                                             std::vector<SkippedFolder>* skipped = nullptr);

} // namespace parcelo
