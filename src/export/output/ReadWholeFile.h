#pragma once

#include <QByteArray>
#include <QString>

namespace parcelo {

// All bytes of a file, or an empty buffer when it cannot be read completely (or is empty).
QByteArray ReadWholeFile(const QString& path);

} // namespace parcelo
