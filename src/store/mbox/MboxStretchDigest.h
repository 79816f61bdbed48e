// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Sha256.h"

#include <QtGlobal>

namespace parcelo {

// The digest of the bytes [from, end) of an open mbox file (fd, not taken over), from being a
// separator line's start, without the header lines of the fields in which stores keep a
// message's state (see IsStoreStateField): marking a message read in place leaves it as it
// was. False when the file cannot be read so far.
bool DigestMboxStretch(int fd, qint64 from, qint64 end, Sha256Digest* digest);

} // namespace parcelo
