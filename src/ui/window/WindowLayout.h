#pragma once

#include <QRect>

namespace parcelo::ui {

// Where every control of the main window goes for a client area of width R whose status bar
// starts at S: a right column 500 pixels wide, the tree taking the rest.
struct WindowLayout {
    QRect filters, compose, field, op, valueList, value, add, update, caseSensitive, list;
    QRect moveDown, moveUp, remove, edit;
    QRect destination, destinationBox, select, exportButton, progress;
    QRect source, tree, infoIcon, infoText;

    static WindowLayout Compute(int R, int S);
};

} // namespace parcelo::ui
