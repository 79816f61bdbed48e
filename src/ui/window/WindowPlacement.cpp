#include "ui/window/WindowPlacement.h"

#include "app/SettingsStore.h"

#include <QWidget>

namespace parcelo::ui {

namespace {

const QString kSection = QStringLiteral("ParceloWindow");

} // namespace

WindowPlacement WindowPlacement::Read() {
    WindowPlacement placement;
    const int width = ReadSettingInt(kSection, QStringLiteral("Width"), 800);
    const int height = ReadSettingInt(kSection, QStringLiteral("Height"), 500);
    const int left = ReadSettingInt(kSection, QStringLiteral("Left"), 10);
    const int top = ReadSettingInt(kSection, QStringLiteral("Top"), 10);
    placement.normal = QRect(left, top, width, height);
    placement.state = ReadSettingInt(kSection, QStringLiteral("State"), 0);
    return placement;
}

void WindowPlacement::Save(const QWidget& window) {
    int state = 0;
    if (window.isMaximized()) {
        state = 2;
    } else if (window.isMinimized()) {
        state = 1;
    } else {
        // Position of the frame and size of the client area: what move() and resize() take.
        WriteSettingInt(kSection, QStringLiteral("Width"), window.width());
        WriteSettingInt(kSection, QStringLiteral("Height"), window.height());
        WriteSettingInt(kSection, QStringLiteral("Left"), window.x());
        WriteSettingInt(kSection, QStringLiteral("Top"), window.y());
    }
    WriteSettingInt(kSection, QStringLiteral("State"), state);
}

void WindowPlacement::ApplyTo(QWidget& window) const {
    window.move(normal.topLeft());
    window.resize(normal.size());
    if (state == 2)
        window.setWindowState(Qt::WindowMaximized);
    else if (state == 1)
        window.setWindowState(Qt::WindowMinimized);
}

} // namespace parcelo::ui
