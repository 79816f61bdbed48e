#pragma once

#include "app/AppPaths.h"
#include "filters/FilterState.h"

#include <QString>
#include <QStringList>

namespace parcelo {

// The one application object: settings values, application paths and run state,
// shared by the window and the command line.
class CParceloApp {
public:
    QString ProductName;
    QString ProductVersion;
    AppPaths Paths;

    // Section "Paths" and "Destination".
    QString FiltersFolder;
    QString FolderPath; // export root, ends with exactly one '/'

    // Section "Settings".
    int FolderOption = 1;
    int FileOption = 2;
    QString ExtensionMessages = QStringLiteral("eml");
    int MessageOption = 0;
    int AntiDateFiles = 1;
    int ProcessPriority = 0;
    int ExportHeaders = 2;
    int ExportAttachments = 2;
    int CompactMailboxes = 0;
    int ActionMarkRead = 0;
    int ActionDelete = 0;

    // The filter list and the two flags of section "Filters".
    FilterState Filters;

    QStringList HeaderList;
    QStringList AttachmentList;

    bool ExportRunning = false;
    bool SecondInstance = false;

    CParceloApp();

    // Start-up in its fixed order: the filter-set folder, the filter set of the application
    // folder, the destination, then the "Settings" keys (applying the process priority at
    // once, loading the name lists after their keys).
    void ReadStartupSettings();
    // Rewrites the filter-set file from the list at exit, also when the list is empty;
    // a second instance leaves it to the running one. False when the write failed.
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
