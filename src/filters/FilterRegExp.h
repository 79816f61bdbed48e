// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace parcelo {

// The "matches RegExp" test: a case-insensitive search for the pattern anywhere in the text.
// The pattern is used as written. The engine's backtracking is capped, so a pathological
// pattern on a hostile text gives up quickly; a failed or invalid search is no match.
bool FilterRegExpSearch(const QString& pattern, const QString& text);

// The syntax check the filter editor makes before it stores a pattern.
bool IsValidFilterRegExp(const QString& pattern);

} // namespace parcelo
