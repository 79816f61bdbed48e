// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/tree/TreeIcons.h"

#include <QString>
#include <array>

namespace parcelo::ui {

namespace {

QString iconName(int image) {
    static const std::array<const char*, 5> names = {"root", "folder-closed", "folder-open",
                                                     "mailbox-empty", "mailbox-full"};
    const size_t index = (image >= 0 && image < 5) ? static_cast<size_t>(image) : 0;
    return QString::fromLatin1(names[index]);
}

} // namespace

QPixmap TreeIconPixmap(int image, int size) {
    return QPixmap(QStringLiteral(":/icons/%1-%2.png").arg(iconName(image)).arg(size));
}

QIcon TreeIcon(int image) {
    QIcon icon;
    icon.addPixmap(TreeIconPixmap(image, 16));
    icon.addPixmap(TreeIconPixmap(image, 32));
    return icon;
}

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 32, 48})
        icon.addPixmap(QPixmap(QStringLiteral(":/parcelo-%1.png").arg(size)));
    return icon;
}

} // namespace parcelo::ui
