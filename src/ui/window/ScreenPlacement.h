// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/WindowPlacement.h"

class QWidget;

namespace parcelo::ui {

// The stored placement of a window and the window on screen. Left and Top are the frame's
// position, Width and Height the client size: what move() and resize() take.
WindowPlacement PlacementOf(const QWidget& window);
// Puts a window that is not shown yet at the placement; the state applies when it is shown.
void ApplyPlacement(const WindowPlacement& placement, QWidget& window);

} // namespace parcelo::ui
