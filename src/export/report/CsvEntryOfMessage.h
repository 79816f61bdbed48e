// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "export/report/IndexCsv.h"
#include "mime/CMimeMessage.h"
#include "store/StoreTypes.h"

namespace parcelo {

// The CSV index's row of an exported message, from the message's own header (the first field
// of each name), the store's read and flagged state and the tree path of its folder. fileSize
// and attachments describe the file written (its header and attachments may be a selection).
IndexCsvEntry CsvEntryOfMessage(const CMimeMessage& message, const MESSAGEPROPS& props,
                                const QString& treePath, qint64 fileSize, int attachments);

// The parts of a message that are attachments: those (not multipart) whose Content-Disposition
// is "attachment" or that carry a file name.
int CountAttachments(const CMimeBody& message);

// An instant in ISO 8601 with the offset given, "2009-01-05T10:00:00+01:00".
QString IsoDateText(const QDateTime& utc, int offsetSeconds);

} // namespace parcelo
