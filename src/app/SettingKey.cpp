// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/SettingKey.h"

#include "app/CParceloApp.h"

#include <array>

namespace parcelo {

namespace {

#define PARCELO_INT_FIELD(member) [](CParceloApp& app) -> int* { return &app.member; }
#define PARCELO_TEXT_FIELD(member) [](CParceloApp& app) -> QString* { return &app.member; }

using R = SettingRead;
using W = SettingWrite;

const std::array kKeys = {
    SettingKey{"Paths", "Filters", true, 0, nullptr, R::Startup, W::Never, nullptr,
               PARCELO_TEXT_FIELD(FiltersFolder)},
    SettingKey{"Settings", "FolderOption", false, 1, "", R::Startup, W::NamingPage,
               PARCELO_INT_FIELD(FolderOption), nullptr},
    SettingKey{"Settings", "FileOption", false, 2, "", R::Startup, W::NamingPage,
               PARCELO_INT_FIELD(FileOption), nullptr},
    SettingKey{"Settings", "ExtensionMessages", true, 0, "eml", R::Startup, W::NamingPage,
               nullptr, PARCELO_TEXT_FIELD(ExtensionMessages)},
    SettingKey{"Settings", "AntiDateFiles", false, 1, "", R::Startup, W::NamingPage,
               PARCELO_INT_FIELD(AntiDateFiles), nullptr},
    SettingKey{"Settings", "MessageOption", false, 0, "", R::Startup, W::NamingPage,
               PARCELO_INT_FIELD(MessageOption), nullptr},
    SettingKey{"Settings", "ProcessPriority", false, 0, "", R::Startup, W::Never,
               PARCELO_INT_FIELD(ProcessPriority), nullptr},
    SettingKey{"Settings", "ExportHeaders", false, 2, "", R::Startup, W::HeadersPage,
               PARCELO_INT_FIELD(ExportHeaders), nullptr},
    SettingKey{"Settings", "ExportAttachments", false, 2, "", R::Startup, W::AttachmentsPage,
               PARCELO_INT_FIELD(ExportAttachments), nullptr},
    SettingKey{"Settings", "CompactMailboxes", false, 0, "", R::Startup, W::MiscPage,
               PARCELO_INT_FIELD(CompactMailboxes), nullptr},
    SettingKey{"Settings", "OnlyNew", false, 0, "", R::Startup, W::MiscPage,
               PARCELO_INT_FIELD(OnlyNew), nullptr},
    SettingKey{"Settings", "IndexCsv", false, 0, "", R::Startup, W::MiscPage,
               PARCELO_INT_FIELD(IndexCsv), nullptr},
    SettingKey{"Settings", "ActionMarkRead", false, 0, "", R::WindowInit, W::WindowClose,
               PARCELO_INT_FIELD(ActionMarkRead), nullptr},
    SettingKey{"Settings", "ActionDelete", false, 0, "", R::WindowInit, W::WindowClose,
               PARCELO_INT_FIELD(ActionDelete), nullptr},
    SettingKey{"Filters", "MatchAllFilters", false, 0, "", R::WindowInit, W::WindowClose,
               PARCELO_INT_FIELD(Filters.MatchAllFilters), nullptr},
    SettingKey{"Filters", "MatchAllMessages", false, 0, "", R::WindowInit, W::WindowClose,
               PARCELO_INT_FIELD(Filters.MatchAllMessages), nullptr},
    // Read at start-up with the others, but written when the window closes, after the four above.
    SettingKey{"Destination", "FolderPath", true, 0, nullptr, R::Startup, W::WindowClose, nullptr,
               PARCELO_TEXT_FIELD(FolderPath)},
    SettingKey{"Settings", "LastCategory", false, 0, "", R::SettingsDialog, W::SettingsDialogOk,
               nullptr, nullptr},
    SettingKey{"ParceloWindow", "Width", false, 800, "", R::WindowInit, W::WindowPlacement,
               nullptr, nullptr},
    SettingKey{"ParceloWindow", "Height", false, 500, "", R::WindowInit, W::WindowPlacement,
               nullptr, nullptr},
    SettingKey{"ParceloWindow", "Left", false, 10, "", R::WindowInit, W::WindowPlacement, nullptr,
               nullptr},
    SettingKey{"ParceloWindow", "Top", false, 10, "", R::WindowInit, W::WindowPlacement, nullptr,
               nullptr},
    SettingKey{"ParceloWindow", "State", false, 0, "", R::WindowInit, W::WindowPlacement, nullptr,
               nullptr},
    SettingKey{"Session", "Version", true, 0, "", R::Never, W::Startup, nullptr, nullptr},
    SettingKey{"Store", "Path", true, 0, "", R::WindowInit, W::OpenStore, nullptr, nullptr},
};

#undef PARCELO_INT_FIELD
#undef PARCELO_TEXT_FIELD

} // namespace

std::span<const SettingKey> SettingKeys() {
    return kKeys;
}

const SettingKey* FindSettingKey(const QString& section, const QString& name) {
    for (const SettingKey& key : kKeys)
        if (section == QLatin1String(key.Section) && name == QLatin1String(key.Name))
            return &key;
    return nullptr;
}

const SettingKey* FindOverridableSettingKey(const QString& name) {
    for (const char* section : {"Settings", "Filters"}) {
        const SettingKey* key = FindSettingKey(QString::fromLatin1(section), name);
        if (key && key->hasField())
            return key;
    }
    return nullptr;
}

} // namespace parcelo
