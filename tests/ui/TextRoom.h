// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

class QWidget;

namespace parcelo::test {

// The texts of the visible controls below `top` that do not fit the room the style gives them
// in the control's own font: combo box items, labels, buttons, check boxes, radio buttons,
// group box titles, table header sections and date fields. One line for each, naming the
// control, its text, the width it needs and the width it has. The texts of `dataFields` (a path
// the user navigated to, say) may be longer than any window and are left out.
QStringList CutOffTexts(const QWidget& top, const QList<const QWidget*>& dataFields = {});

// The visible children of `area` that come closer than `margin` to its left or right edge, or
// that overlap a sibling without lying inside that sibling's frame contents (a group box's).
QStringList MisplacedControls(const QWidget& area, int margin);

} // namespace parcelo::test
