// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace parcelo {

// Filter texts fold the ASCII letters A to Z only; every other character stays as it is,
// so Ä and ä are different letters to the filters.
QString AsciiLower(const QString& text);
bool EqualsIgnoringAsciiCase(const QString& a, const QString& b);

} // namespace parcelo
