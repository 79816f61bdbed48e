#pragma once

#include <QByteArray>
#include <QString>

namespace parcelo {

// Writes the bytes into a file reserved by BuildMessageFilePath (it must exist). On any
// failure (not there, cannot open, short write) the incomplete file is removed and the
// result is false, with the reason in error.
bool WriteReservedMessageFile(const QString& path, const QByteArray& bytes,
                              QString* error = nullptr);

// Replaces an existing message file: the bytes go to a temporary file beside it, which is
// then renamed over it. On failure the old file stays as it was and the result is false.
bool ReplaceMessageFile(const QString& path, const QByteArray& bytes, QString* error = nullptr);

} // namespace parcelo
