#pragma once

#include "store/mbox/MboxScanner.h"

#include <QString>
#include <optional>
#include <vector>

namespace parcelo {

// What happens to one message of an mbox file when its changes are applied.
struct MboxChange {
    bool drop = false;                // leave the message out of the file
    std::optional<quint32> mozStatus; // new X-Mozilla-Status value (same width)
    bool addRead = false;             // add R to Status, or a "Status: RO" field
};

// Applies the changes (one per scanned message) under the mailbox's dot-lock. When every
// change is an X-Mozilla-Status edit the file is edited in place; otherwise it is rewritten
// once through a temporary file, flushed and renamed over the original, with every byte of
// the other messages kept. Fails without touching the file when it changed since the scan.
// The folder's NAME.msf index is removed after a change.
bool ApplyMboxChanges(const QString& path, const MboxScan& scan,
                      const std::vector<MboxChange>& changes, QString* error);

// Whether X-Mozilla-Status of the message can hold the value in place.
bool FitsMozillaStatus(const MboxMessage& message, quint32 value);

} // namespace parcelo
