#pragma once

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

    // Section "Paths".
    QString FiltersFolder;
    int ProcessPriority = 0;

    bool SecondInstance = false;

    // How the filter set of the application folder read at start-up.
    FilterSetLoadResult FilterSetLoad;
    // Set when a damaged filter-set file could not be moved aside: ExitInstance leaves it be.
    bool KeepFilterSetFile = false;

    CParceloApp();

    // Start-up in its fixed order: the filter-set folder, the filter set of the application
    // folder, the destination, then the "Settings" keys (applying the process priority at
    // once, loading the name lists after their keys).
    void ReadStartupSettings();
    // Rewrites the filter-set file from the list at exit, also when the list is empty;
    // a second instance, or one told to keep the file, leaves it. False when the write failed.
    bool ExitInstance();
    // The keys the main window reads when it initialises: source actions and filter modes.
    void ReadWindowSettings();

    // Overrides one key of "Settings" or "Filters" for this process only, as a stored value
    // would read. False with a reason for an unknown key or a value of the wrong kind.
    bool OverrideSetting(const QString& key, const QString& value, QString* error);

private:
    int* intField(const QString& key);
    QString* textField(const QString& key, QString* fallback);
};

} // namespace parcelo
