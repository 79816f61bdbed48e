// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace parcelo {

// Appends text + lineEnd as UTF-8 (no byte-order mark) to the end of the file, creating it
// when missing. An empty text writes nothing and gives false. A write that fails part-way
// is taken back, so the file never ends in half a record. A failure's reason goes to error.
bool AppendTextToFile(const QString& path, const QString& text, const QString& lineEnd,
                      QString* error = nullptr);

// Replaces the file with text as UTF-8 (no line end added), completely or not at all.
bool WriteTextFile(const QString& path, const QString& text, QString* error = nullptr);

} // namespace parcelo
