// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/MailFolderNode.h"
#include "store/SkippedFolder.h"

namespace parcelo {

// True for a Maildir store: the directory has cur/, or Maildir++ folders (.Name holding cur/),
// or, with no mbox file beside them, sub-directories that are Maildirs.
bool LooksLikeMaildir(const QString& directory);

// The folders of a Maildir store: "Inbox" for the directory's own cur/, the Maildir++ folders
// .A and .A.B as A > B (names in modified UTF-7), and nested sub-directories that are Maildirs
// or hold some. No directory is taken twice, however many links lead to it, and the search for
// nested Maildirs does not go below a link to another file system. What it cannot take for its
// depth or the length of its path goes to skipped, when given.
std::vector<MailFolderDraft> MaildirFolders(const QString& directory,
                                            std::vector<SkippedFolder>* skipped = nullptr);

} // namespace parcelo
