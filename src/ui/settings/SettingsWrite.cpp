#include "ui/settings/SettingsWrite.h"

#include "app/SettingsStore.h"

namespace parcelo {

namespace {
const QString kSection = QStringLiteral("Settings");
}

void WriteSettingsKey(const QString& key, int value) {
    WriteSettingInt(kSection, key, value);
}

void WriteSettingsKey(const QString& key, const QString& value) {
    WriteSettingString(kSection, key, value);
}

} // namespace parcelo
