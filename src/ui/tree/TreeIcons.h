// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QPixmap>

namespace parcelo::ui {

// The five pictures of the folder tree, by image number (root, closed folder, open folder,
// empty mailbox, mailbox with messages), in 16 and 32 pixels.
QIcon TreeIcon(int image);
QPixmap TreeIconPixmap(int image, int size);

// The program's own icon.
QIcon ProgramIcon();

} // namespace parcelo::ui
