#pragma once

#include "export/CheckedFolderSet.h"
#include "export/report/ExportLog.h"
#include "export/ExportObserver.h"
#include "export/ExportSettings.h"
#include "export/output/MessageFileOutput.h"
#include "filters/MessageFilterFacts.h"
#include "store/tree/FolderTreeModel.h"
#include "store/IStoreNamespace.h"

#include <QString>
#include <deque>
#include <string>

namespace parcelo {

struct ExportCommandResult {
    int Exported = 0;
    QString ValidationMessage; // one of the two message-box texts, or empty
    bool TreeRebuilt = false;  // the tree was rebuilt after a deleting run
    bool OpenIndex = false;    // something was exported: the front end opens the index page
};

// One Export command: validation, the run over every checked mailbox, and its counters.
// The window and the command line run the same code through an observer.
class ExportSession {
public:
    ExportSession(const ExportSettings& settings, IStoreNamespace& store, IExportObserver& observer);

    ExportCommandResult OnExportMessages(FolderTreeModel& tree);
    int RunExport();

    CheckedFolderSet& Checked() { return checked_; }
    int ScannedCount() const { return scanned_; }
    int ExportedCount() const { return exported_; }

    static constexpr std::uint32_t kReadChunk = 4095;
    // Reads the whole source; false when it cannot be opened or a read fails midway.
    static bool ReadMessageSource(IStoreFolder& folder, StoreMessageId id, std::string* source);

private:
    struct FolderRun {
        StoreFolderId Id = 0;
        QString Name;
        QString TreePath;
        int StoreMessageCount = 0;
        int ExportedInFolder = 0;
        std::deque<StoreMessageId> ExportedIdList;
    };

    void ExportFolder(StoreFolderId id, const QString& treePath);
    void ProcessMessage(IStoreFolder& folder, const MESSAGEPROPS& props, FolderRun& run);
    bool WriteMessage(const std::string& source, const MESSAGEPROPS& props,
                      const MessageFilterFacts& facts, FolderRun& run);
    void ApplySourceActions(IStoreFolder& folder, FolderRun& run);
    void UpdateProgress();

    const ExportSettings& settings_;
    IStoreNamespace& store_;
    IExportObserver& observer_;
    CheckedFolderSet checked_;
    ExportLog log_;
    std::unique_ptr<MessageFileOutput> output_;
    int exported_ = 0;
    int scanned_ = 0;
};

} // namespace parcelo
