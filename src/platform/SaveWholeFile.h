#pragma once

#include <QByteArray>
#include <QString>

namespace parcelo {

// Writes the file beside the old one and renames it over, so it is either complete or
// untouched. Checks the write and the flush itself: QSaveFile::commit() can put a truncated
// file in place when a buffered write failed only at its flush. The reason goes to error.
bool SaveWholeFile(const QString& path, const QByteArray& bytes, QString* error = nullptr);

} // namespace parcelo
