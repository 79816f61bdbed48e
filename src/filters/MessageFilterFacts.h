// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/StoreTypes.h"

#include <QString>
#include <cstdint>

namespace parcelo {

// The nine per-message values the filters are asked about, derived from the store's
// message properties by the export run.
struct MessageFilterFacts {
    QString sender;
    QString subject;
    QString recipient;
    QString sentText;       // user's date-and-time text, "Invalid DateTime" when invalid
    QString receivedText;   // likewise
    std::uint64_t size = 0; // bytes
    int priorityCode = 1;   // 2 high, 1 normal, 0 low
    int statusCode = 1;     // 0 unread, 1 read
    int flagCode = 0;       // 1 flagged
};

// The date texts are written only when withDates is set: a run without filters never asks.
MessageFilterFacts DeriveMessageFilterFacts(const MESSAGEPROPS& props, bool withDates = true);

} // namespace parcelo
