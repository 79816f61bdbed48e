// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Sha256.h"

#include <string_view>

namespace parcelo {

using SourceFingerprint = Sha256Digest;

// What tells a message from every other, whatever a store later records about it: SHA-256 of
// its source (CR LF line ends, as the store hands it over) without the header fields in which
// stores keep a message's state. Marking it read, flagging or tagging it, or a mail server's
// bookkeeping in the mailbox, leaves the fingerprint as it was; so do the flags of a Maildir
// file's name, which are no part of the source. Those fields are dropped with their
// continuation lines wherever they stand in the message's own header (not in its parts).
SourceFingerprint FingerprintMessageSource(std::string_view source, Sha256& hash);

} // namespace parcelo
