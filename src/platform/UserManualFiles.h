// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

namespace parcelo {

// Where the user's manual (its index.html) may be, in the order to look: installed beside the
// program (../share/doc/parcelo/manual/ from its folder), then, for a program in its build tree,
// in the source tree. programFolder: the folder of the executable; none when empty.
QStringList UserManualFiles(const QString& programFolder);

} // namespace parcelo
