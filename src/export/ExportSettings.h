// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "filters/FilterState.h"
#include "platform/AppPaths.h"

#include <QString>
#include <QStringList>

namespace parcelo {

// What one export run reads: where its files go, the naming and action settings, the filters
// and the name lists. The front end owns the values; a run only reads them.
struct ExportSettings {
    AppPaths Paths;
    QString FolderPath; // export root, ends with exactly one '/'

    int FolderOption = 1;
    int FileOption = 2;
    QString ExtensionMessages = QStringLiteral("eml");
    int MessageOption = 0;
    int AntiDateFiles = 1;
    int ExportHeaders = 2;
    int ExportAttachments = 2;
    int CompactMailboxes = 0;
    int ActionMarkRead = 0;
    int ActionDelete = 0;
    // Export only messages that no earlier run exported into the same destination root (see
    // ExportManifest); with it, a message in two folders is exported once.
    int OnlyNew = 0;
    // Append a row for each message file to Index.csv as well.
    int IndexCsv = 0;

    // The filter list and the two flags of section "Filters".
    FilterState Filters;

    QStringList HeaderList;
    QStringList AttachmentList;
};

} // namespace parcelo
