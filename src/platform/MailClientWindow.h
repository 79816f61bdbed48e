// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <memory>

namespace parcelo {

// The main window of the mail client whose store we read, hidden while we run and shown again
// when we close. Found by its window class; where windows cannot be looked up nothing is found.
class MailClientWindow {
public:
    virtual ~MailClientWindow() = default;
    // Looks for the window; true once it has been found (it is then remembered).
    virtual bool Find() = 0;
    virtual void Hide() = 0;
    virtual void Show() = 0;

    // The desktop client's windows carry this class (compared in any letter case).
    static inline const QString kClientClass = QStringLiteral("thunderbird");

    // Under X11 a lookup over the display's top-level windows; otherwise one that never finds.
    static std::unique_ptr<MailClientWindow> Create(bool x11, const QString& windowClass);
};

} // namespace parcelo
