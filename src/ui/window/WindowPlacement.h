#pragma once

#include <QRect>

class QWidget;

namespace parcelo::ui {

// The window's place on screen, kept under "ParceloWindow": the normal rectangle and whether
// it was maximised (2) or minimised (1).
struct WindowPlacement {
    QRect normal{10, 10, 800, 500};
    int state = 0;

    static WindowPlacement Read();
    // A maximised or minimised window writes only its state: the stored rectangle stays the
    // last normal one.
    static void Save(const QWidget& window);
    // Puts a window that is not shown yet at the placement; the state applies when it is shown.
    void ApplyTo(QWidget& window) const;
};

} // namespace parcelo::ui
