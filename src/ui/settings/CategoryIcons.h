// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QList>

namespace parcelo {

inline constexpr int kCategoryIconSize = 32;

// The icons of the settings categories, in category order: file naming, headers,
// attachments, misc. Painted, so they need no image files.
QList<QIcon> CategoryIcons();

} // namespace parcelo
