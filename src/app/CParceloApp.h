#pragma once

#include "app/AppPaths.h"

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

    // Section "Filters".
    int MatchAllFilters = 0;
    int MatchAllMessages = 0;

    QStringList HeaderList;
    QStringList AttachmentList;

    bool ExportRunning = false;
    bool SecondInstance = false;

    CParceloApp();

    // Start-up reads in their fixed order: the filter-set folder, the destination, then the
    // "Settings" keys (applying the process priority at once).
    void ReadStartupSettings();
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
