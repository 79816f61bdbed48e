// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace parcelo {

struct SettingKey;

// The per-user key store: one INI group per section in $XDG_CONFIG_HOME/Parcelo/Parcelo.ini.
// Each call opens and closes the store itself. Reads never fail: a missing or unreadable
// value, an empty text or a text over 254 characters gives the default. Writes that fail
// are dropped silently.
QString ReadSettingString(const QString& section, const QString& key, const QString& fallback);
int ReadSettingInt(const QString& section, const QString& key, int fallback);
void WriteSettingString(const QString& section, const QString& key, const QString& value);
void WriteSettingInt(const QString& section, const QString& key, int value);

// The same through a key of the settings table, with the key's default. A text key whose
// default is the application folder falls back to appFolder.
int ReadSetting(const SettingKey& key);
QString ReadSettingText(const SettingKey& key, const QString& appFolder = {});
void WriteSetting(const SettingKey& key, int value);
void WriteSetting(const SettingKey& key, const QString& text);

// Parses a stored integer the way a read does: a 32-bit signed decimal number or nothing.
bool ParseSettingInt(const QString& text, int* value);

inline constexpr int kMaxSettingTextLength = 254;

} // namespace parcelo
