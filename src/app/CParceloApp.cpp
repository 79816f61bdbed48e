#include "app/CParceloApp.h"

#include "app/SettingsStore.h"
#include "filters/FilterSetFile.h"
#include "mime/NameList.h"
#include "platform/ProcessPriority.h"
#include "platform/ProductInfo.h"

namespace parcelo {

namespace {

const QString kSettings = QStringLiteral("Settings");
const QString kFilters = QStringLiteral("Filters");

} // namespace

CParceloApp::CParceloApp() : ProductName(kProductName), ProductVersion(kProductVersion) {}

void CParceloApp::ReadStartupSettings() {
    FiltersFolder =
        ReadSettingString(QStringLiteral("Paths"), QStringLiteral("Filters"), Paths.AppFolder);
    FilterSetLoad = LoadFilterSet(Paths.FilterSetFile, Filters.items);
    FolderPath = ReadSettingString(QStringLiteral("Destination"), QStringLiteral("FolderPath"),
                                   Paths.AppFolder);
    FolderOption = ReadSettingInt(kSettings, QStringLiteral("FolderOption"), 1);
    FileOption = ReadSettingInt(kSettings, QStringLiteral("FileOption"), 2);
    ExtensionMessages =
        ReadSettingString(kSettings, QStringLiteral("ExtensionMessages"), QStringLiteral("eml"));
    MessageOption = ReadSettingInt(kSettings, QStringLiteral("MessageOption"), 0);
    AntiDateFiles = ReadSettingInt(kSettings, QStringLiteral("AntiDateFiles"), 1);
    ProcessPriority = ReadSettingInt(kSettings, QStringLiteral("ProcessPriority"), 0);
    ApplyProcessPriority(ProcessPriority);
    ExportHeaders = ReadSettingInt(kSettings, QStringLiteral("ExportHeaders"), 2);
    LoadNameList(Paths.HeaderListFile, HeaderList);
    ExportAttachments = ReadSettingInt(kSettings, QStringLiteral("ExportAttachments"), 2);
    LoadNameList(Paths.AttachmentListFile, AttachmentList);
    CompactMailboxes = ReadSettingInt(kSettings, QStringLiteral("CompactMailboxes"), 0);
}

void CParceloApp::ReadWindowSettings() {
    ActionMarkRead = ReadSettingInt(kSettings, QStringLiteral("ActionMarkRead"), 0);
    ActionDelete = ReadSettingInt(kSettings, QStringLiteral("ActionDelete"), 0);
    Filters.MatchAllFilters = ReadSettingInt(kFilters, QStringLiteral("MatchAllFilters"), 0);
    Filters.MatchAllMessages = ReadSettingInt(kFilters, QStringLiteral("MatchAllMessages"), 0);
}

bool CParceloApp::ExitInstance() {
    if (SecondInstance || KeepFilterSetFile)
        return true;
    return SaveFilterSet(Paths.FilterSetFile, Filters.items);
}

int* CParceloApp::intField(const QString& key) {
    struct Entry {
        const char* name;
        int CParceloApp::*field;
    };
    static const Entry entries[] = {
        {"FolderOption", &CParceloApp::FolderOption},
        {"FileOption", &CParceloApp::FileOption},
        {"MessageOption", &CParceloApp::MessageOption},
        {"AntiDateFiles", &CParceloApp::AntiDateFiles},
        {"ProcessPriority", &CParceloApp::ProcessPriority},
        {"ExportHeaders", &CParceloApp::ExportHeaders},
        {"ExportAttachments", &CParceloApp::ExportAttachments},
        {"CompactMailboxes", &CParceloApp::CompactMailboxes},
        {"ActionMarkRead", &CParceloApp::ActionMarkRead},
        {"ActionDelete", &CParceloApp::ActionDelete},
    };
    for (const Entry& entry : entries)
        if (key == QLatin1String(entry.name))
            return &(this->*entry.field);
    if (key == QLatin1String("MatchAllFilters"))
        return &Filters.MatchAllFilters;
    if (key == QLatin1String("MatchAllMessages"))
        return &Filters.MatchAllMessages;
    return nullptr;
}

QString* CParceloApp::textField(const QString& key, QString* fallback) {
    if (key == QLatin1String("ExtensionMessages")) {
        *fallback = QStringLiteral("eml");
        return &ExtensionMessages;
    }
    return nullptr;
}

bool CParceloApp::OverrideSetting(const QString& key, const QString& value, QString* error) {
    if (int* field = intField(key)) {
        if (!ParseSettingInt(value, field)) {
            if (error)
                *error =
                    QStringLiteral("the value of %1 must be a whole number: '%2'").arg(key, value);
            return false;
        }
        if (key == QLatin1String("ProcessPriority"))
            ApplyProcessPriority(*field);
        return true;
    }
    QString fallback;
    if (QString* field = textField(key, &fallback)) {
        *field = (value.isEmpty() || value.size() > kMaxSettingTextLength) ? fallback : value;
        return true;
    }
    if (error)
        *error = QStringLiteral("unknown setting: '%1'").arg(key);
    return false;
}

} // namespace parcelo
