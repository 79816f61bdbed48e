// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <span>

namespace parcelo {

class CParceloApp;

// When the program reads a key, and which moment writes it back. Keys of one moment are
// written together, in table order.
enum class SettingRead { Startup, WindowInit, SettingsDialog, Never };
enum class SettingWrite {
    Never,
    Startup,
    WindowClose,
    WindowPlacement,
    OpenStore,
    NamingPage,
    HeadersPage,
    AttachmentsPage,
    MiscPage,
    SettingsDialogOk,
};

// One key of the settings store, declared once: section, name, kind, default and the field of
// the application object it is read into (none for the window's and the dialog's own keys).
struct SettingKey {
    const char* Section;
    const char* Name;
    bool IsText;
    int IntDefault;
    const char* TextDefault; // null: the application folder
    SettingRead Read;
    SettingWrite Write;
    int* (*IntField)(CParceloApp&);
    QString* (*TextField)(CParceloApp&);

    QString section() const { return QString::fromLatin1(Section); }
    QString name() const { return QString::fromLatin1(Name); }
    bool hasField() const { return IntField || TextField; }
};

// Every key, in the order they are read and written.
std::span<const SettingKey> SettingKeys();
// The key of that name in the section; null when there is none.
const SettingKey* FindSettingKey(const QString& section, const QString& name);
// The key of that name in "Settings" or "Filters", the sections a run may override.
const SettingKey* FindOverridableSettingKey(const QString& name);

} // namespace parcelo
