// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

namespace parcelo {

// Reads a name list file ("Headers.lst", "Attachments.lst"): one entry a line, trailing white
// space removed, blank lines and repeats skipped. A missing file leaves the list unchanged;
// one that cannot be read leaves it empty.
void LoadNameList(const QString& path, QStringList& list);

// Writes every non-empty entry followed by CR LF, as UTF-8, replacing the file as a whole so
// that a failed write keeps the old list. An empty list creates no file where there was none.
// Returns false when the file could not be written.
bool SaveNameList(const QStringList& list, const QString& path);
inline bool SaveNameList(const QString& path, const QStringList& list) {
    return SaveNameList(list, path);
}

} // namespace parcelo
