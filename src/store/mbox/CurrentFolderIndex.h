// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <memory>

namespace parcelo {

class MailFolderIndex;

// The mail client's index NAME.msf of a mailbox, when it is current: not older than the
// mailbox file, so it knows every message there. Null when there is none, it is older, or it
// cannot be read (error then says why, when given).
std::unique_ptr<MailFolderIndex> ReadCurrentFolderIndex(const QString& mailboxPath,
                                                        QString* error = nullptr);

} // namespace parcelo
