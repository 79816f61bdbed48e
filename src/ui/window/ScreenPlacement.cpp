// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/window/ScreenPlacement.h"

#include <QWidget>

namespace parcelo::ui {

WindowPlacement PlacementOf(const QWidget& window) {
    WindowPlacement placement;
    placement.Left = window.x();
    placement.Top = window.y();
    placement.Width = window.width();
    placement.Height = window.height();
    placement.WindowState = window.isMaximized()   ? WindowPlacement::Maximised
                            : window.isMinimized() ? WindowPlacement::Minimised
                                                   : WindowPlacement::Normal;
    return placement;
}

void ApplyPlacement(const WindowPlacement& placement, QWidget& window) {
    window.move(placement.Left, placement.Top);
    window.resize(placement.Width, placement.Height);
    if (placement.WindowState == WindowPlacement::Maximised)
        window.setWindowState(Qt::WindowMaximized);
    else if (placement.WindowState == WindowPlacement::Minimised)
        window.setWindowState(Qt::WindowMinimized);
}

} // namespace parcelo::ui
