// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace parcelo {

// The main window's placement in section "ParceloWindow".
struct WindowPlacement {
    enum State { Normal = 0, Minimised = 1, Maximised = 2 };
    int Left = 10;
    int Top = 10;
    int Width = 800;
    int Height = 500;
    int WindowState = Normal;

    // Every key, each falling back to its default.
    static WindowPlacement Read();
    // A normal window writes its rectangle (Width, Height, Left, Top) and then State; a
    // maximised or minimised one writes only State, keeping the last normal rectangle.
    void Write() const;
};

// The settings dialog's first category, the running version and the chosen store.
int ReadLastCategory();
void WriteLastCategory(int category);
void WriteSessionVersion(const QString& version);
QString ReadStorePath();
void WriteStorePath(const QString& path);

} // namespace parcelo
