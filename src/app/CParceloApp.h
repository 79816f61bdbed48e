// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/SettingKey.h"
#include "export/ExportSettings.h"
#include "filters/FilterSetFile.h"

#include <QString>
#include <QStringList>

namespace parcelo {

// The one application object: settings values, application paths and run state,
// shared by the window and the command line. An export run reads its part of the settings.
class CParceloApp : public ExportSettings {
public:
    QString ProductName;
    QString ProductVersion;

    QString FiltersFolder; // section "Paths": where the filter-set file dialogs open
    int ProcessPriority = 0;

    bool SecondInstance = false;

    // How the filter set of the application folder read at start-up.
    FilterSetLoadResult FilterSetLoad;
    // Set when a damaged filter-set file could not be moved aside: ExitInstance leaves it be.
    bool KeepFilterSetFile = false;

    CParceloApp();

    // Start-up in its fixed order: the filter-set folder and the filter set of the application
    // folder, then the "Settings" keys (applying the process priority at once, loading the name
    // lists after their keys) and the destination.
    void ReadStartupSettings();
    // The keys the main window reads when it initialises: source actions and filter modes.
    void ReadWindowSettings();
    // Writes the application's keys of one moment (the window closing, a settings page's Apply)
    // from its current values, in table order.
    void WriteSettings(SettingWrite moment);
    // Rewrites the filter-set file from the list at exit, also when the list is empty;
    // a second instance, or one told to keep the file, leaves it. False when the write failed.
    bool ExitInstance();

    // Overrides one key of "Settings" or "Filters" for this process only, as a stored value
    // would read. False with a reason for an unknown key or a value of the wrong kind.
    bool OverrideSetting(const QString& name, const QString& value, QString* error);

private:
    void ReadKey(const SettingKey& key);
};

} // namespace parcelo
