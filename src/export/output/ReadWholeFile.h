// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

namespace parcelo {

// All bytes of a regular file, or an empty buffer when it cannot be read completely (or is
// empty). A link is not followed and anything but a regular file is not read.
QByteArray ReadWholeFile(const QString& path);

} // namespace parcelo
