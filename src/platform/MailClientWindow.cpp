// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/MailClientWindow.h"

#include "platform/X11MailClientWindow.h"

namespace parcelo {

namespace {

// No window system we can search: the watch keeps looking and finds nothing.
class AbsentMailClientWindow : public MailClientWindow {
public:
    bool Find() override { return false; }
    void Hide() override {}
    void Show() override {}
};

} // namespace

std::unique_ptr<MailClientWindow> MailClientWindow::Create(bool x11, const QString& windowClass) {
#ifdef PARCELO_HAVE_XCB
    if (x11)
        if (auto window = CreateX11MailClientWindow(windowClass))
            return window;
#else
    (void)x11;
    (void)windowClass;
#endif
    return std::make_unique<AbsentMailClientWindow>();
}

} // namespace parcelo
