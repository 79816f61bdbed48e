// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QString>

namespace parcelo {

// Writes all the bytes, going on after a short write so that a full disk or a file-size
// limit shows as the system's reason ("No space left on device") in error, not as a count.
bool WriteAll(QFileDevice& file, const QByteArray& bytes, QString* error = nullptr);

} // namespace parcelo
