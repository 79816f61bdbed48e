#pragma once

#include <QString>

namespace parcelo {

// Writes one key of section "Settings" for the settings pages.
void WriteSettingsKey(const QString& key, int value);
void WriteSettingsKey(const QString& key, const QString& value);

} // namespace parcelo
