// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/MailClientWindow.h"

namespace parcelo {

#ifdef PARCELO_HAVE_XCB
// A top-level X11 window whose WM_CLASS class equals the given one in any letter case;
// null when the display cannot be reached.
std::unique_ptr<MailClientWindow> CreateX11MailClientWindow(const QString& windowClass);
#endif

} // namespace parcelo
