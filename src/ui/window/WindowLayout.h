// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRect>
#include <QSize>

namespace parcelo::ui {

struct WindowMetrics;

// Where every control of the main window goes for a client area of width R whose status bar
// starts at S: a right column as wide as its widest line of controls needs, the tree taking
// the rest, the information under the tree as high as its text.
struct WindowLayout {
    QRect filters, compose, field, op, valueList, value, add, update, caseSensitive, list;
    QRect moveDown, moveUp, remove, edit;
    QRect destination, destinationBox, select, exportButton, progress;
    QRect source, tree, infoIcon, infoText;

    static WindowLayout Compute(int R, int S, const WindowMetrics& m);
    // The smallest client area in which every control gets the room it needs.
    static QSize MinimumSize(const WindowMetrics& m);
};

} // namespace parcelo::ui
