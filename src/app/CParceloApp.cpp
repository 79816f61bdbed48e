// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CParceloApp.h"

#include "app/SettingKey.h"
#include "app/SettingsStore.h"
#include "filters/FilterSetFile.h"
#include "mime/NameList.h"
#include "platform/ProcessPriority.h"
#include "platform/ProductInfo.h"

namespace parcelo {

CParceloApp::CParceloApp() : ProductName(kProductName), ProductVersion(kProductVersion) {}

void CParceloApp::ReadKey(const SettingKey& key) {
    if (key.IntField)
        *key.IntField(*this) = ReadSetting(key);
    else if (key.TextField)
        *key.TextField(*this) = ReadSettingText(key, Paths.AppFolder);
}

void CParceloApp::ReadStartupSettings() {
    for (const SettingKey& key : SettingKeys()) {
        if (key.Read != SettingRead::Startup)
            continue;
        ReadKey(key);
        // What depends on a key follows it at once, as at every start.
        if (key.TextField && key.TextField(*this) == &FiltersFolder)
            FilterSetLoad = LoadFilterSet(Paths.FilterSetFile, Filters.items);
        else if (key.IntField && key.IntField(*this) == &ProcessPriority)
            ApplyProcessPriority(ProcessPriority);
        else if (key.IntField && key.IntField(*this) == &ExportHeaders)
            LoadNameList(Paths.HeaderListFile, HeaderList);
        else if (key.IntField && key.IntField(*this) == &ExportAttachments)
            LoadNameList(Paths.AttachmentListFile, AttachmentList);
    }
}

void CParceloApp::ReadWindowSettings() {
    for (const SettingKey& key : SettingKeys())
        if (key.Read == SettingRead::WindowInit && key.hasField())
            ReadKey(key);
}

void CParceloApp::WriteSettings(SettingWrite moment) {
    for (const SettingKey& key : SettingKeys()) {
        if (key.Write != moment)
            continue;
        if (key.IntField)
            WriteSetting(key, *key.IntField(*this));
        else if (key.TextField)
            WriteSetting(key, *key.TextField(*this));
    }
}

bool CParceloApp::ExitInstance() {
    if (SecondInstance || KeepFilterSetFile)
        return true;
    return SaveFilterSet(Paths.FilterSetFile, Filters.items);
}

bool CParceloApp::OverrideSetting(const QString& name, const QString& value, QString* error) {
    const SettingKey* key = FindOverridableSettingKey(name);
    if (!key) {
        if (error)
            *error = QStringLiteral("unknown setting: '%1'").arg(name);
        return false;
    }
    if (key->IntField) {
        int* field = key->IntField(*this);
        if (!ParseSettingInt(value, field)) {
            if (error)
                *error =
                    QStringLiteral("the value of %1 must be a whole number: '%2'").arg(name, value);
            return false;
        }
        if (field == &ProcessPriority)
            ApplyProcessPriority(*field);
        return true;
    }
    // A text overridden empty or too long falls back to its default, as a stored one would.
    const bool usable = !value.isEmpty() && value.size() <= kMaxSettingTextLength;
    *key->TextField(*this) = usable ? value : QString::fromLatin1(key->TextDefault);
    return true;
}

} // namespace parcelo
