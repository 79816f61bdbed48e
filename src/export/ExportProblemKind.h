// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <map>

namespace parcelo {

// What a problem of an export run is about, so that hundreds of them can be summed up as a few
// lines with a count each.
enum class ExportProblemKind {
    FolderUnread,    // a mail folder, or its end, could not be read, or changed while read
    FolderUnchanged, // a mail folder's changes could not be applied
    MessageUnread,   // a message could not be read from the store
    MessageLeftOut,  // a message could not be parsed or converted
    FileUnwritten,   // a message file could not be written
    FileUnsure,      // a message file is not confirmed as a copy of its message
    SourceUnchanged, // a source message could not be marked read or deleted
    Other,           // the log, the index page, the mail client
};

using ExportProblemCounts = std::map<ExportProblemKind, int>;

// One line of a summary: "Message files that could not be written to DEST: 300".
QString ExportProblemSummaryLine(ExportProblemKind kind, int count, const QString& destination);

} // namespace parcelo
