// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/filters/FilterEditor.h"

#include <QMargins>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace parcelo::ui {

// What the main window's controls need to show their texts in the font and style in use:
// widths of the controls on one line, the height of a line, a group box's frame and title.
struct WindowMetrics {
    int margin = 6; // from the window's edges and between frames
    int gap = 3;    // between neighbouring controls, and around a frame's contents
    int row = 0;    // a line of controls
    QMargins frame; // a group box's frame and title around its contents
    int field = 0, op = 0, value = 0, add = 0, caseSensitive = 0;
    int moveDown = 0, moveUp = 0, edit = 0, remove = 0;
    int destination = 0, select = 0, exportButton = 0, progress = 0;
    int list = 0;   // the least height of the filter list
    int source = 0; // the least width of the source pane
    int tree = 0;   // the least height of the folder tree
    int icon = 32;  // the information's image
    int info = 0;   // the least height kept for the information: a name and two more lines
    // The height the information text takes at a width.
    std::function<int(int)> infoHeight = [](int) { return 0; };

    static WindowMetrics Measure(const FilterEditor::Controls& c, const QLineEdit& destination,
                                 const QPushButton& select, const QPushButton& exportButton,
                                 const QLabel& info);
};

} // namespace parcelo::ui
