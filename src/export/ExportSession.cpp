#include "export/ExportSession.h"

#include "export/CountText.h"
#include "export/MessageFilterFacts.h"
#include "export/SentDateText.h"

#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

namespace parcelo {

ExportSession::ExportSession(CParceloApp& app, IStoreNamespace& store, IExportObserver& observer)
    : app_(app), store_(store), observer_(observer) {}

ExportCommandResult ExportSession::OnExportMessages(FolderTreeModel& tree) {
    ExportCommandResult result;
    app_.ExportRunning = true;
    checked_.Clear();
    if (tree.Root())
        CollectCheckedFolders(tree.Root(), checked_);

    if (checked_.Empty()) {
        result.ValidationMessage = QStringLiteral("Please check at least one mailfolder.");
    } else if (app_.FolderPath.size() < 3 || !QFileInfo(app_.FolderPath).isDir()) {
        result.ValidationMessage = QStringLiteral("Please specify the root folder.");
    } else {
        result.Exported = RunExport();
    }
    app_.ExportRunning = false;

    if (result.Exported > 0) {
        if (app_.ActionDelete == 1) {
            tree.PopulateFolderTree(store_);
            result.TreeRebuilt = true;
        }
        result.OpenIndex = true;
    }
    return result;
}

int ExportSession::RunExport() {
    exported_ = 0;
    scanned_ = 0;
    observer_.SetProgress(0);
    for (size_t i = 0; i < checked_.CheckedFolderIds.size(); ++i)
        ExportFolder(checked_.CheckedFolderIds[i], checked_.CheckedFolderPaths[i]);
    observer_.SetProgress(100);
    return exported_;
}

void ExportSession::ExportFolder(StoreFolderId id, const QString& treePath) {
    FolderRun run;
    run.TreePath = treePath;
    FOLDERPROPS props;
    if (Succeeded(store_.GetFolderProperties(id, &props))) {
        run.Name = QString::fromLocal8Bit(props.szName);
        run.StoreMessageCount = props.cMessage;
    }
    std::unique_ptr<IStoreFolder> folder;
    if (!Succeeded(store_.OpenFolder(id, &folder)) || !folder)
        return;

    MESSAGEPROPS message;
    HENUMSTORE handle = 0;
    HRESULT hr = folder->GetFirstMessage(&message, &handle);
    while (Succeeded(hr) && hr != S_FALSE) {
        ProcessMessage(*folder, message, run);
        UpdateProgress();
        observer_.SetStatusText(run.Name + QStringLiteral(" - Exported messages count: ") +
                                CountText(run.ExportedInFolder));
        folder->FreeMessageProps(&message);
        observer_.Pause();
        observer_.PumpEvents();
        hr = folder->GetNextMessage(handle, &message);
    }

    if (app_.ActionMarkRead == 1 || app_.ActionDelete == 1)
        ApplySourceActions(*folder, run);
    observer_.SetStatusText(QStringLiteral("Task completed. ") + CountText(exported_) +
                            QStringLiteral(" messages exported."));
    if (app_.CompactMailboxes == 1)
        folder->Compact();
    if (handle != 0)
        folder->GetMessageClose(handle);
    folder->Close();
}

void ExportSession::UpdateProgress() {
    if (checked_.TotalMessages <= 0)
        return;
    const long long percent = static_cast<long long>(scanned_) * 100 / checked_.TotalMessages;
    observer_.SetProgress(static_cast<int>(std::clamp<long long>(percent, 0, 100)));
}

bool ExportSession::ReadMessageSource(IStoreFolder& folder, StoreMessageId id, std::string* source) {
    std::unique_ptr<IStoreStream> stream;
    if (!Succeeded(folder.OpenMessage(id, &stream)) || !stream)
        return false;
    source->clear();
    char buffer[kReadChunk];
    for (;;) {
        std::uint32_t got = 0;
        // A source that fails midway would be exported truncated: skip it instead.
        if (!Succeeded(stream->Read(buffer, kReadChunk, &got)))
            return false;
        if (got == 0)
            return true;
        source->append(buffer, got);
    }
}

void ExportSession::ProcessMessage(IStoreFolder& folder, const MESSAGEPROPS& props, FolderRun& run) {
    ++scanned_;
    const MessageFilterFacts facts = DeriveMessageFilterFacts(props);
    (void)facts;

    std::string source;
    if (!ReadMessageSource(folder, props.dwMessageId, &source))
        return;
    if (source.find("\r\n\r\n") == std::string::npos)
        return;
    if (!WriteMessage(source, props, run))
        return;
    ++exported_;
    ++run.ExportedInFolder;
    run.ExportedIdList.push_front(props.dwMessageId);
}

bool ExportSession::WriteMessage(const std::string& source, const MESSAGEPROPS& props, FolderRun& run) {
    const QString path = app_.FolderPath + QString::number(checked_.CheckedFolderIds.size()) +
                         QLatin1Char('-') + run.Name + QLatin1Char('-') +
                         QString::number(props.dwMessageId) + QLatin1Char('.') + app_.ExtensionMessages;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(source.data(), static_cast<qint64>(source.size()));
    return file.commit();
}

void ExportSession::ApplySourceActions(IStoreFolder& folder, FolderRun& run) {
    for (StoreMessageId id : run.ExportedIdList) {
        MESSAGEIDLIST list;
        list.ids.push_back(id);
        QString action;
        if (app_.ActionMarkRead == 1) {
            action = QStringLiteral("Flagging exported messages Read...");
            folder.MarkMessagesAsRead(true, list);
        }
        if (app_.ActionDelete == 1) {
            action = QStringLiteral("Deleting exported messages...");
            folder.DeleteMessages(list);
        }
        observer_.SetStatusText(run.Name + QStringLiteral(": ") + action);
        observer_.PumpEvents();
    }
}

} // namespace parcelo
