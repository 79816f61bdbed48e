// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/WindowPlacement.h"

#include "app/SettingKey.h"
#include "app/SettingsStore.h"

namespace parcelo {

namespace {

const SettingKey& key(const char* section, const char* name) {
    // Every name used here is in the table; a missing one is a programming error.
    const SettingKey* found =
        FindSettingKey(QString::fromLatin1(section), QString::fromLatin1(name));
    Q_ASSERT(found);
    return *found;
}

const SettingKey& windowKey(const char* name) {
    return key("ParceloWindow", name);
}

} // namespace

WindowPlacement WindowPlacement::Read() {
    WindowPlacement placement;
    placement.Width = ReadSetting(windowKey("Width"));
    placement.Height = ReadSetting(windowKey("Height"));
    placement.Left = ReadSetting(windowKey("Left"));
    placement.Top = ReadSetting(windowKey("Top"));
    placement.WindowState = ReadSetting(windowKey("State"));
    return placement;
}

void WindowPlacement::Write() const {
    if (WindowState == Normal) {
        WriteSetting(windowKey("Width"), Width);
        WriteSetting(windowKey("Height"), Height);
        WriteSetting(windowKey("Left"), Left);
        WriteSetting(windowKey("Top"), Top);
    }
    WriteSetting(windowKey("State"), WindowState);
}

int ReadLastCategory() {
    return ReadSetting(key("Settings", "LastCategory"));
}

void WriteLastCategory(int category) {
    WriteSetting(key("Settings", "LastCategory"), category);
}

void WriteSessionVersion(const QString& version) {
    WriteSetting(key("Session", "Version"), version);
}

QString ReadStorePath() {
    return ReadSettingText(key("Store", "Path"));
}

void WriteStorePath(const QString& path) {
    WriteSetting(key("Store", "Path"), path);
}

} // namespace parcelo
