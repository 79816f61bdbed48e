// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QList>
#include <QPair>
#include <QString>

namespace parcelo {

// The groups of an INI file with their keys and values exactly as the lines hold them (white
// space around them trimmed), read afresh from the file. Unlike QSettings this keeps a value
// with commas as one text and never serves an older copy of the file.
using IniGroups = QList<QPair<QString, QHash<QString, QString>>>;
IniGroups ReadIniText(const QString& path);

} // namespace parcelo
