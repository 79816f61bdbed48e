#include "ui/window/WindowSettings.h"

#include "app/CParceloApp.h"
#include "app/SettingsStore.h"

namespace parcelo::ui {

void SaveWindowSettings(const CParceloApp& app) {
    const QString settings = QStringLiteral("Settings");
    const QString filters = QStringLiteral("Filters");
    WriteSettingInt(settings, QStringLiteral("ActionMarkRead"), app.ActionMarkRead);
    WriteSettingInt(settings, QStringLiteral("ActionDelete"), app.ActionDelete);
    WriteSettingInt(filters, QStringLiteral("MatchAllFilters"), app.Filters.MatchAllFilters);
    WriteSettingInt(filters, QStringLiteral("MatchAllMessages"), app.Filters.MatchAllMessages);
    WriteSettingString(QStringLiteral("Destination"), QStringLiteral("FolderPath"), app.FolderPath);
}

} // namespace parcelo::ui
