#include "export/ExportSession.h"

#include "export/output/AntiDateFile.h"
#include "export/CountText.h"
#include "export/output/FileChecks.h"
#include "export/report/IndexPage.h"
#include "export/naming/MessageDestination.h"
#include "export/dates/SentDateText.h"
#include "filters/DescribeFilters.h"
#include "filters/MatchFilters.h"
#include "mime/CMimeMessage.h"
#include "mime/MessageConversion.h"

#include <algorithm>

namespace parcelo {

ExportSession::ExportSession(const ExportSettings& settings, IStoreNamespace& store,
                             IExportObserver& observer)
    : settings_(settings), store_(store), observer_(observer), log_(settings.Paths.LogFile) {}

ExportCommandResult ExportSession::OnExportMessages(FolderTreeModel& tree) {
    ExportCommandResult result;
    tree.SetExportRunning(true);
    checked_.Clear();
    if (tree.Root())
        CollectCheckedFolders(tree.Root(), checked_);

    if (checked_.Empty()) {
        result.ValidationMessage = QStringLiteral("Please check at least one mailfolder.");
    } else if (!DirectoryExists(settings_.FolderPath)) {
        result.ValidationMessage = QStringLiteral("Please specify the root folder.");
    } else {
        result.Exported = RunExport();
    }
    tree.SetExportRunning(false);

    if (result.Exported > 0) {
        if (settings_.ActionDelete == 1) {
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
    output_ =
        std::make_unique<MessageFileOutput>(settings_.MessageOption, [](const QByteArray& fileBytes) {
            CMimeMessage existing;
            existing.Load(
                std::string_view(fileBytes.constData(), static_cast<size_t>(fileBytes.size())));
            return QString::fromLocal8Bit(existing.GetFieldValue("Date"));
        });
    observer_.SetProgress(0);
    log_.writeRunHeader();
    for (size_t i = 0; i < checked_.CheckedFolderIds.size(); ++i)
        ExportFolder(checked_.CheckedFolderIds[i], checked_.CheckedFolderPaths[i]);
    observer_.SetProgress(100);
    log_.writeRunFooter({DescribeFilters(settings_.Filters), exported_, scanned_});
    output_.reset();
    return exported_;
}

void ExportSession::ExportFolder(StoreFolderId id, const QString& treePath) {
    FolderRun run;
    run.Id = id;
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

    if (settings_.ActionMarkRead == 1 || settings_.ActionDelete == 1) {
        ApplySourceActions(*folder, run);
        if (settings_.ActionDelete == 1)
            output_->sourceMessagesDeleted(run.Id);
    }
    observer_.SetStatusText(QStringLiteral("Task completed. ") + CountText(exported_) +
                            QStringLiteral(" messages exported."));
    log_.writeFolderBlock({run.Name, run.StoreMessageCount, run.ExportedInFolder,
                           settings_.ActionMarkRead == 1, settings_.ActionDelete == 1});
    bool changed = true;
    if (settings_.CompactMailboxes == 1)
        changed = Succeeded(folder->Compact());
    if (handle != 0)
        folder->GetMessageClose(handle);
    // A store applies its changes when the folder closes; the log cannot say that it failed,
    // so the front end hears of it. Nothing is lost: the folder keeps its messages.
    changed = Succeeded(folder->Close()) && changed;
    if (!changed)
        observer_.ReportProblem(
            QStringLiteral("the mail folder '%1' could not be changed; its messages are as "
                           "they were")
                .arg(run.TreePath));
}

void ExportSession::UpdateProgress() {
    if (checked_.TotalMessages <= 0)
        return;
    const long long percent = static_cast<long long>(scanned_) * 100 / checked_.TotalMessages;
    observer_.SetProgress(static_cast<int>(std::clamp<long long>(percent, 0, 100)));
}

bool ExportSession::ReadMessageSource(IStoreFolder& folder, StoreMessageId id,
                                      std::string* source) {
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

void ExportSession::ProcessMessage(IStoreFolder& folder, const MESSAGEPROPS& props,
                                   FolderRun& run) {
    ++scanned_;
    const MessageFilterFacts facts = DeriveMessageFilterFacts(props);
    if (!MatchFilters(settings_.Filters, facts))
        return;

    std::string source;
    if (!ReadMessageSource(folder, props.dwMessageId, &source))
        return;
    if (source.find("\r\n\r\n") == std::string::npos)
        return;
    if (!WriteMessage(source, props, facts, run))
        return;
    ++exported_;
    ++run.ExportedInFolder;
    run.ExportedIdList.push_front(props.dwMessageId);
}

bool ExportSession::WriteMessage(const std::string& source, const MESSAGEPROPS& props,
                                 const MessageFilterFacts& facts, FolderRun& run) {
    const std::unique_ptr<CMimeMessage> message = ParseMessageSource(source);
    if (!message)
        return false;
    const HeaderValues values = ExtractHeaderValues(*message);
    const std::string fileBytes = MessageFileBytes(*message);
    const QString sentDateText = SentDateText(props.ftSent);
    const MessageDestination destination = DestinationOfMessage(
        {settings_.FolderOption, settings_.FileOption, settings_.ExtensionMessages, settings_.FolderPath, run.Name,
         run.TreePath, facts.sender, facts.subject, sentDateText});
    const QByteArray bytes(fileBytes.data(), static_cast<qsizetype>(fileBytes.size()));
    const MessageFileResult result =
        output_->write(destination, values.Date, bytes, {run.Id, props.dwMessageId});
    if (!result.written())
        return false;
    if (settings_.AntiDateFiles == 1)
        AntiDateFile(result.path, props.ftSent);
    WriteIndexEntry(settings_.Paths.IndexPage, {result.path, facts.sender, values.From, facts.subject,
                                           values.To, values.CC, values.BCC, sentDateText});
    if (result.replaced && result.replaced->folderId == run.Id)
        std::erase(run.ExportedIdList, result.replaced->messageId);
    return true;
}

void ExportSession::ApplySourceActions(IStoreFolder& folder, FolderRun& run) {
    for (StoreMessageId id : run.ExportedIdList) {
        MESSAGEIDLIST list;
        list.ids.push_back(id);
        QString action;
        if (settings_.ActionMarkRead == 1) {
            action = QStringLiteral("Flagging exported messages Read...");
            folder.MarkMessagesAsRead(true, list);
        }
        if (settings_.ActionDelete == 1) {
            action = QStringLiteral("Deleting exported messages...");
            folder.DeleteMessages(list);
        }
        observer_.SetStatusText(run.Name + QStringLiteral(": ") + action);
        observer_.PumpEvents();
    }
}

} // namespace parcelo
