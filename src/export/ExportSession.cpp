// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/ExportSession.h"

#include "export/CountText.h"
#include "export/dates/SentDateText.h"
#include "export/manifest/RecordedCopyCheck.h"
#include "export/manifest/SourceFingerprint.h"
#include "export/naming/MessageDestination.h"
#include "export/output/AntiDateFile.h"
#include "export/output/BackgroundFileWriter.h"
#include "export/output/FileChecks.h"
#include "export/report/CsvEntryOfMessage.h"
#include "export/report/IndexPageWriter.h"
#include "filters/DescribeFilters.h"
#include "filters/MatchFilters.h"
#include "mime/CMimeMessage.h"
#include "mime/MessageConversion.h"
#include "mime/ReducedMessage.h"
#include "platform/MailClientProfile.h"

#include <algorithm>

namespace parcelo {

namespace {

QString ReasonText(const QString& reason) {
    return reason.isEmpty() ? QStringLiteral("no reason was given") : reason;
}

// A subject as part of one warning line: no control characters, not overly long.
QString OneLineText(QString text) {
    for (QChar& c : text) {
        if (c.category() == QChar::Other_Control)
            c = u' ';
    }
    return text.size() > 80 ? text.left(79) + QChar(0x2026) : text;
}

// Why a source cannot be exported (nothing but line ends, or lines ended by a lone CR), or null
// when it can. A header without an empty line after it is a message with an empty body
// (RFC 5322, 3.5); the parser needs that line and a line end after every field, so they are
// added.
const char* CompleteBodylessSource(std::string& source) {
    if (source.find_first_not_of("\r\n") == std::string::npos)
        return "it is empty";
    if (source.find("\r\n\r\n") != std::string::npos)
        return nullptr;
    // Not one CR LF but a CR: lines that end in a lone CR, which the parser cannot split.
    if (source.find("\r\n") == std::string::npos && source.find('\r') != std::string::npos)
        return "its lines end in a lone CR, so its header cannot be told from its body";
    if (source.back() == '\r')
        source += '\n';
    else if (source.back() != '\n')
        source += "\r\n";
    source += "\r\n";
    return nullptr;
}

} // namespace

ExportSession::ExportSession(const ExportSettings& settings, IStoreNamespace& store,
                             IExportObserver& observer)
    : settings_(settings), store_(store), observer_(observer), log_(settings.Paths.LogFile) {}

ExportCommandResult ExportSession::OnExportMessages(FolderTreeModel& tree) {
    ExportCommandResult result;
    actedOn_ = 0;
    tree.SetExportRunning(true);
    checked_.Clear();
    if (tree.Root())
        CollectCheckedFolders(tree.Root(), checked_);

    if (checked_.Empty()) {
        result.ValidationMessage = QStringLiteral("Please check at least one mailfolder.");
    } else if (!DirectoryExists(settings_.FolderPath)) {
        result.ValidationMessage = QStringLiteral("Please specify the root folder.");
    } else if (settings_.OnlyNew == 1 && !OpenManifest(&result.ValidationMessage)) {
        // A list that cannot be read would have every message exported again.
    } else {
        result.Exported = RunExport();
        result.Skipped = settings_.OnlyNew == 1 ? skipped_ : -1;
        result.Problems = problems_;
        result.ProblemCounts = problemCounts_;
    }
    tree.SetExportRunning(false);

    // Messages exported before may have been deleted even when none was exported now.
    if (settings_.ActionDelete == 1 && (result.Exported > 0 || actedOn_ > 0)) {
        tree.PopulateFolderTree(store_);
        result.TreeRebuilt = true;
    }
    result.OpenIndex = result.Exported > 0;
    return result;
}

int ExportSession::RunExport() {
    exported_ = 0;
    scanned_ = 0;
    skipped_ = 0;
    actedOn_ = 0;
    problems_.clear();
    problemCounts_.clear();
    attachmentTally_ = {};
    logReported_ = false;
    indexReported_ = false;
    csvReported_ = false;
    manifestReported_ = false;
    clientLock_.clear();
    if (settings_.OnlyNew == 1 && !manifest_) {
        QString message;
        if (!OpenManifest(&message)) {
            ReportProblem(message);
            return 0;
        }
    }
    if (ChangesStore(settings_))
        StoreMayChange();
    output_ = std::make_unique<MessageFileOutput>(
        settings_.MessageOption,
        [](const QByteArray& fileBytes) {
            CMimeMessage existing;
            existing.Load(
                std::string_view(fileBytes.constData(), static_cast<size_t>(fileBytes.size())));
            return QString::fromLocal8Bit(existing.GetFieldValue("Date"));
        },
        SourceActionsRun());
    index_ = std::make_unique<IndexPageWriter>(settings_.Paths.IndexPage);
    if (settings_.IndexCsv == 1)
        csv_ = std::make_unique<IndexCsvWriter>(settings_.Paths.IndexCsvFile);
    writer_ =
        std::make_unique<BackgroundFileWriter>(*output_, *index_, csv_.get(), manifest_.get());
    if (manifest_)
        manifest_->expect(checked_.TotalMessages);
    observer_.SetProgress(0);
    CheckLogWrite(log_.writeRunHeader());
    for (size_t i = 0; i < checked_.CheckedFolderIds.size(); ++i)
        ExportFolder(checked_.CheckedFolderIds[i], checked_.CheckedFolderPaths[i]);
    observer_.SetProgress(100);
    CloseManifest(); // every file was written: the writing thread waits for none
    if (!problems_.isEmpty())
        CheckLogWrite(log_.writeProblems(problems_));
    CheckLogWrite(
        log_.writeRunFooter({DescribeFilters(settings_.Filters), exported_, scanned_,
                             settings_.ExportHeaders, settings_.ExportAttachments,
                             settings_.HeaderList, settings_.AttachmentList, attachmentTally_,
                             settings_.OnlyNew == 1 ? skipped_ : -1}));
    FlushIndexPage();
    writer_.reset();
    index_.reset();
    csv_.reset();
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
    } else {
        ReportProblem(QStringLiteral("the properties of the mail folder '%1' could not be read: %2")
                          .arg(run.TreePath, ReasonText(store_.LastError())),
                      ExportProblemKind::FolderUnread);
    }
    // Its state is taken before it is read: a change meanwhile has it read again next time.
    SourceFingerprint folderKey{};
    QString stamp;
    std::optional<ExportManifest::FolderRead> readBefore;
    if (MayLeaveOutUnchangedFolders()) {
        QString directory;
        store_.GetDirectory(&directory);
        folderKey = ExportManifest::FolderKey(directory, run.TreePath);
        stamp = store_.FolderChangeStamp(id);
        if (!stamp.isEmpty())
            readBefore = FolderReadBefore(folderKey, stamp);
        if (readBefore && readBefore->unchanged) {
            CountFolderReadBefore(run, readBefore->messages);
            CheckLogWrite(log_.writeFolderBlock(
                {run.Name, run.ScannedCount(), 0, false, false, run.SkippedInFolder, {}}));
            return;
        }
    }
    const qsizetype problemsBefore = problems_.size();
    std::unique_ptr<IStoreFolder> folder;
    if (!Succeeded(store_.OpenFolder(id, &folder)) || !folder) {
        ReportProblem(QStringLiteral("the mail folder '%1' could not be read: %2")
                          .arg(run.TreePath, ReasonText(store_.LastError())),
                      ExportProblemKind::FolderUnread);
        return;
    }
    run.Folder = folder.get();
    const QString lockWarning = folder->LockWarning();
    if (!lockWarning.isEmpty())
        ReportProblem(QStringLiteral("the mail folder '%1' was read without its lock, so another "
                                     "program may have been changing it: %2")
                          .arg(run.TreePath, lockWarning));
    if (readBefore)
        ResumeFolderRead(*folder, run, *readBefore);

    MESSAGEPROPS message;
    HENUMSTORE handle = 0;
    HRESULT hr = folder->GetFirstMessage(&message, &handle);
    NoteReadDoubt(*folder, run);
    while (Succeeded(hr) && hr != S_FALSE) {
        ++run.Enumerated;
        ProcessMessage(*folder, message, run);
        if (pending_.empty() || pending_.back().enumerated != run.Enumerated)
            MessageLeftOut(run);
        folder->FreeMessageProps(&message);
        hr = folder->GetNextMessage(handle, &message);
        NoteReadDoubt(*folder, run);
    }
    FinishPendingWrites();
    if (!Succeeded(hr))
        ReportProblem(QStringLiteral("the mail folder '%1' could not be read to its end: %2")
                          .arg(run.TreePath, ReasonText(folder->LastError())),
                      ExportProblemKind::FolderUnread);
    if (!run.ReadDoubt.isEmpty())
        ReportProblem(QStringLiteral("the mail folder '%1' changed while it was read (%2): "
                                     "messages read after the change may be missing, torn or read "
                                     "twice; export it again")
                          .arg(run.TreePath, run.ReadDoubt),
                      ExportProblemKind::FolderUnread);

    // Every message was exported or found exported, and nothing went wrong: unchanged, the
    // folder need not be read again.
    if (!stamp.isEmpty() && Succeeded(hr) && problems_.size() == problemsBefore &&
        lockWarning.isEmpty() && run.ReadDoubt.isEmpty() &&
        run.ExportedInFolder + run.SkippedInFolder == run.Enumerated) {
        const std::optional<FolderReadEnd> readEnd = folder->ReadEnd();
        QString error;
        if (!manifest_->noteFolderRead(folderKey, stamp, run.Enumerated,
                                       readEnd ? readEnd->encode() : QByteArray(), &error))
            ReportManifestProblem(error);
    }
    const bool actionsRun = SourceActionsRun() && StoreMayChange();
    if (actionsRun || !run.ReadDoubt.isEmpty())
        ReportUnconfirmedFiles(run);
    if (actionsRun) {
        ConfirmRecordedCopies(run);
        ApplySourceActions(*folder, run);
        if (settings_.ActionDelete == 1)
            output_->sourceMessagesDeleted(run.Id);
    }
    FlushIndexPage();
    observer_.SetStatusText(CompletedText(exported_, settings_.OnlyNew == 1 ? skipped_ : -1));
    const bool actions = SourceActionsRun();
    CheckLogWrite(log_.writeFolderBlock(
        {run.Name, run.ScannedCount(), run.ExportedInFolder,
         actions && settings_.ActionMarkRead == 1, actions && settings_.ActionDelete == 1,
         settings_.OnlyNew == 1 ? run.SkippedInFolder : -1, run.Duplicates}));
    QString changeError;
    if (CompactRuns() && StoreMayChange() && !Succeeded(folder->Compact()))
        changeError = ReasonText(folder->LastError());
    if (handle != 0)
        folder->GetMessageClose(handle);
    // A store applies its changes when the folder closes; the log cannot say that it failed,
    // so the front end hears of it. Nothing is lost: the folder keeps its messages.
    if (!Succeeded(folder->Close()))
        changeError = ReasonText(folder->LastError());
    if (!changeError.isEmpty())
        ReportProblem(QStringLiteral("the mail folder '%1' could not be changed; its messages are "
                                     "as they were: %2")
                          .arg(run.TreePath, changeError),
                      ExportProblemKind::FolderUnchanged);
}

void ExportSession::ReportProblem(const QString& text, ExportProblemKind kind) {
    problems_.append(text);
    ++problemCounts_[kind];
    observer_.ReportProblem(text);
}

void ExportSession::FlushIndexPage() {
    QString error;
    if (index_ && !index_->flush(&error))
        ReportIndexProblem(error);
    if (csv_ && !csv_->flush(&error))
        ReportCsvProblem(error);
}

void ExportSession::ReportCsvProblem(const QString& error) {
    if (csvReported_)
        return;
    csvReported_ = true;
    ReportProblem(QStringLiteral("the CSV index '%1' could not be completed: %2")
                      .arg(settings_.Paths.IndexCsvFile, ReasonText(error)));
}

void ExportSession::ReportManifestProblem(const QString& error) {
    if (manifestReported_)
        return;
    manifestReported_ = true;
    ReportProblem(QStringLiteral("the list of exported messages '%1' could not be completed; the "
                                 "next export into the folder checks it: %2")
                      .arg(ExportManifest::FileOf(settings_.FolderPath), ReasonText(error)));
}

bool ExportSession::OpenManifest(QString* message) {
    auto manifest = std::make_unique<ExportManifest>();
    QString error;
    if (!manifest->open(settings_.FolderPath, QDateTime::currentDateTimeUtc(), &error)) {
        *message = QStringLiteral("The list of the messages exported to this folder, '%1', "
                                  "cannot be used: %2.")
                       .arg(ExportManifest::FileOf(settings_.FolderPath), error);
        return false;
    }
    manifest_ = std::move(manifest);
    return true;
}

bool ExportSession::MayLeaveOutUnchangedFolders() const {
    const bool everyMessage = settings_.Filters.suspended() || settings_.Filters.items.isEmpty();
    return manifest_ && everyMessage && !ChangesStore(settings_);
}

std::optional<ExportManifest::FolderRead>
ExportSession::FolderReadBefore(const SourceFingerprint& key, const QString& stamp) {
    std::optional<ExportManifest::FolderRead> found;
    QString error;
    if (!manifest_->findFolderRead(key, stamp, &found, &error))
        ReportManifestProblem(error);
    return found;
}

void ExportSession::CountFolderReadBefore(FolderRun& run, qint64 messages) {
    run.SkippedInFolder = static_cast<int>(messages);
    run.Enumerated = run.Reported = run.SkippedInFolder;
    skipped_ += run.SkippedInFolder;
    scanned_ += run.SkippedInFolder;
    if (checked_.TotalMessages > 0)
        observer_.SetProgress(static_cast<int>(std::min<long long>(
            100, static_cast<long long>(scanned_) * 100 / checked_.TotalMessages)));
    observer_.SetStatusText(StatusText(run));
    observer_.SetStatusText(CompletedText(exported_, skipped_));
}

void ExportSession::ResumeFolderRead(IStoreFolder& folder, FolderRun& run,
                                     const ExportManifest::FolderRead& before) {
    const std::optional<FolderReadEnd> end = FolderReadEnd::decode(before.readEnd);
    if (end && end->messages == before.messages && folder.ResumeAfter(*end))
        CountFolderReadBefore(run, before.messages);
}

void ExportSession::CloseManifest() {
    if (!manifest_)
        return;
    QString error;
    if (!manifest_->close(&error))
        ReportManifestProblem(error);
    manifest_.reset();
}

void ExportSession::ReportIndexProblem(const QString& error) {
    if (indexReported_)
        return;
    indexReported_ = true;
    ReportProblem(QStringLiteral("the index page '%1' could not be completed: %2")
                      .arg(settings_.Paths.IndexPage, ReasonText(error)));
}

bool ExportSession::SourceActionsRun() const {
    return clientLock_.isEmpty() && (settings_.ActionMarkRead == 1 || settings_.ActionDelete == 1);
}

bool ExportSession::CompactRuns() const {
    return clientLock_.isEmpty() && settings_.CompactMailboxes == 1;
}

bool ExportSession::ChangesStore(const ExportSettings& settings) {
    return settings.ActionMarkRead == 1 || settings.ActionDelete == 1 ||
           settings.CompactMailboxes == 1;
}

QString ExportSession::RunningMailClient(IStoreNamespace& store) {
    QString directory;
    if (!Succeeded(store.GetDirectory(&directory)))
        return {};
    return RunningMailClientLock(FindMailClientProfile(directory));
}

bool ExportSession::StoreMayChange() {
    if (!clientLock_.isEmpty())
        return false;
    // Checked again before each folder's changes: the client may have started meanwhile. It
    // keeps its own index of the store open and would show other messages or undo changes.
    clientLock_ = RunningMailClient(store_);
    if (clientLock_.isEmpty())
        return true;
    ReportProblem(QStringLiteral("the mail client is running on this store (%1); no message was "
                                 "marked read or deleted and no folder was compacted: close the "
                                 "mail client and export again")
                      .arg(clientLock_));
    return false;
}

void ExportSession::CheckLogWrite(bool written) {
    if (written || logReported_)
        return;
    logReported_ = true;
    ReportProblem(QStringLiteral("the log '%1' could not be written: %2")
                      .arg(log_.path(), ReasonText(log_.lastError())));
}

QString ExportSession::MessageText(const FolderRun& run, const MESSAGEPROPS& props) {
    return MessageText(run, run.Enumerated, props.pszNormalSubject) +
           LocationText(run, props.dwMessageId);
}

QString ExportSession::LocationText(const FolderRun& run, StoreMessageId id) {
    QString location = run.Folder ? run.Folder->MessageLocation(id) : QString();
    if (location.isEmpty())
        return {};
    for (QChar& c : location) { // a file name may hold any byte but '/'; a warning is one line
        if (c.category() == QChar::Other_Control)
            c = u'?';
    }
    return QStringLiteral(" (%1)").arg(location);
}

QString ExportSession::MessageText(const FolderRun& run, int enumerated,
                                   const QByteArray& normalSubject) {
    const QString subject = OneLineText(QString::fromLocal8Bit(normalSubject));
    QString text = QStringLiteral("the message %1").arg(enumerated);
    if (!subject.isEmpty())
        text += QStringLiteral(" (\"%1\")").arg(subject);
    return text + QStringLiteral(" of the mail folder '%1'").arg(run.TreePath);
}

QString ExportSession::ExportedText(const FolderRun& run, StoreMessageId id) {
    const auto named = run.ExportedNames.find(id);
    if (named == run.ExportedNames.end())
        return LocationText(run, id);
    return MessageText(run, named->second.enumerated, named->second.normalSubject) +
           LocationText(run, id);
}

void ExportSession::MessageDone(FolderRun& run, int scanned, int enumerated) {
    run.Reported = enumerated;
    if (checked_.TotalMessages > 0) {
        const long long percent = static_cast<long long>(scanned) * 100 / checked_.TotalMessages;
        observer_.SetProgress(static_cast<int>(std::clamp<long long>(percent, 0, 100)));
    }
    observer_.SetStatusText(StatusText(run));
    observer_.Pause();
    observer_.PumpEvents();
}

QString ExportSession::StatusText(const FolderRun& run) const {
    QString text =
        run.Name + QStringLiteral(" - Exported messages count: ") + CountText(run.ExportedInFolder);
    if (settings_.OnlyNew == 1)
        text += QStringLiteral(", skipped as exported before: ") + CountText(run.SkippedInFolder);
    return text;
}

bool ExportSession::ReadMessageSource(IStoreFolder& folder, StoreMessageId id, std::string* source,
                                      QString* error, size_t sizeHint) {
    std::unique_ptr<IStoreStream> stream;
    if (!Succeeded(folder.OpenMessage(id, &stream)) || !stream) {
        if (error)
            *error = ReasonText(folder.LastError());
        return false;
    }
    // Read straight into the source, in one piece when its size is known. The source's room
    // is used again from one message to the next: only bytes it never had are cleared first.
    size_t filled = 0;
    if (source->size() < sizeHint)
        source->resize(sizeHint);
    for (;;) {
        if (source->size() == filled)
            source->resize(std::max(filled + kReadChunk, source->size() * 2));
        std::uint32_t got = 0;
        const size_t room = std::min<size_t>(source->size() - filled, 1u << 30);
        // A source that fails midway would be exported truncated: skip it instead.
        if (!Succeeded(stream->Read(source->data() + filled, std::uint32_t(room), &got))) {
            if (error)
                *error = ReasonText(stream->LastError());
            source->clear();
            return false;
        }
        filled += got;
        if (got == 0) {
            source->resize(filled);
            return true;
        }
    }
}

void ExportSession::ProcessMessage(IStoreFolder& folder, const MESSAGEPROPS& props,
                                   FolderRun& run) {
    ++scanned_;
    const bool filtering = !settings_.Filters.suspended() && !settings_.Filters.items.isEmpty();
    const MessageFilterFacts facts = DeriveMessageFilterFacts(props, filtering);
    if (!MatchFilters(settings_.Filters, facts))
        return;

    std::string& source = source_;
    // Whatever happens to the message, a big source is not kept for the next one.
    const std::unique_ptr<std::string, void (*)(std::string*)> release(
        &source, [](std::string* kept) { ReleaseSource(*kept); });
    QString error;
    // One byte more than announced shows a source that grew, in the same single read.
    if (!ReadMessageSource(folder, props.dwMessageId, &source, &error,
                           static_cast<size_t>(props.cbMessage) + 1)) {
        FinishPendingWrites(); // problems are told in the order of the messages
        ReportProblem(MessageText(run, props) + QStringLiteral(" could not be read: ") + error,
                      ExportProblemKind::MessageUnread);
        return;
    }
    std::optional<SourceFingerprint> fingerprint;
    if (manifest_) {
        fingerprint = FingerprintMessageSource(source, sourceHash_);
        if (SkipExported(*fingerprint, props, run))
            return;
    }
    if (const char* reason = CompleteBodylessSource(source)) {
        FinishPendingWrites();
        ReportProblem(MessageText(run, props) + QStringLiteral(" was left out: ") +
                      QLatin1String(reason),
                      ExportProblemKind::MessageLeftOut);
        return;
    }
    WriteMessage(source, props, facts, run, fingerprint);
}

bool ExportSession::SkipExported(const SourceFingerprint& fingerprint, const MESSAGEPROPS& props,
                                 FolderRun& run) {
    // A copy of a message still being written is found once its file has its name (or not).
    if (std::any_of(pending_.begin(), pending_.end(), [&](const PendingWrite& pending) {
            return pending.fingerprint == fingerprint;
        }))
        FinishPendingWrites();
    std::optional<ExportManifest::Found> found;
    QString error;
    if (!manifest_->find(fingerprint, &found, &error)) {
        // Exported again it might be there twice: it stays in the store for the next run.
        FinishPendingWrites();
        ReportProblem(MessageText(run, props) +
                          QStringLiteral(" was left out: the list of exported messages could not "
                                         "be read: ") +
                          ReasonText(error),
                      ExportProblemKind::MessageLeftOut);
        return true;
    }
    if (!found)
        return false;
    if (SourceActionsRun()) {
        // Its source may go only while its file stands as written; a file deleted, replaced or
        // moved since is written again.
        QString why;
        if (!found->thisRun && !ExportManifest::FileStands(found->path, found->record, &why))
            return false;
        run.RecordedCopies.push_back({props.dwMessageId,
                                      found->path,
                                      found->record.size,
                                      found->record.identity.inode,
                                      {run.Enumerated, props.pszNormalSubject}});
    }
    ++skipped_;
    ++run.SkippedInFolder;
    if (found->thisRun)
        run.Duplicates.append(
            MessageText(run, props) +
            QStringLiteral(" is a copy of the message exported as '%1'").arg(found->path));
    return true;
}

void ExportSession::ReleaseSource(std::string& source) {
    // A small source stays as it is, to be read over by the next message.
    if (source.capacity() > kKeptSourceSize)
        std::string().swap(source);
}

void ExportSession::WriteMessage(std::string& source, const MESSAGEPROPS& props,
                                 const MessageFilterFacts& facts, FolderRun& run,
                                 const std::optional<SourceFingerprint>& fingerprint) {
    std::unique_ptr<CMimeMessage> message = parse_(source);
    if (!message) {
        FinishPendingWrites(); // problems are told in the order of the messages
        ReportProblem(MessageText(run, props) +
                      QStringLiteral(" was left out: it could not be parsed as a mail message"),
                      ExportProblemKind::MessageLeftOut);
        return;
    }
    const HeaderValues values = ExtractHeaderValues(*message);
    const MessageSelection selection{settings_.ExportHeaders, settings_.HeaderList,
                                     settings_.ExportAttachments, settings_.AttachmentList};
    // Each copy of a message is let go as soon as the next one exists, so a huge message
    // needs about twice its size, never four times.
    std::string fileBytes;
    ReleaseSource(source);
    if (!spareBuffers_.empty()) {
        fileBytes = std::move(spareBuffers_.back());
        spareBuffers_.pop_back();
    }
    if (!MessageFileBytes(*message, fileBytes)) {
        FinishPendingWrites();
        ReportProblem(MessageText(run, props) +
                          QStringLiteral(" was left out: it could not be converted into a "
                                         "message file"),
                      ExportProblemKind::MessageLeftOut);
        return;
    }
    if (!selection.keepsWholeMessage()) {
        const ReducedMessageCounts counts = ReduceMessageFile(fileBytes, selection);
        attachmentTally_.kept += counts.attachmentsKept;
        attachmentTally_.leftOut += counts.attachmentsLeftOut;
        attachmentTally_.messagesReduced += counts.attachmentsLeftOut > 0 ? 1 : 0;
        attachmentTally_.onlyHeader += counts.onlyHeader ? 1 : 0;
    }
    const PreparedCsvRow csvRow = csv_ ? CsvRow(*message, props, run, fileBytes) : PreparedCsvRow();
    std::optional<BackgroundFileWriter::Job::ManifestNote> manifestNote;
    if (fingerprint)
        manifestNote = {*fingerprint,
                        QByteArray::fromStdString(message->GetFieldValue("Message-ID")).trimmed()};
    message.reset();
    const QString sentDateText = SentDateText(props.ftSent);
    const MessageDestination destination = DestinationOfMessage(
        {settings_.FolderOption, settings_.FileOption, settings_.ExtensionMessages,
         settings_.FolderPath, run.Name, run.TreePath, facts.sender, facts.subject, sentDateText});
    // The file is written while the next messages are read; what follows its writing (the
    // problem, the index entry, the counts) is done later, in the order of the messages.
    MakeRoomForWrite();
    const bool huge = fileBytes.size() > kOverlappedWriteLimit;
    PendingWrite pending{&run,           props.dwMessageId, props.ftSent,
                         run.Enumerated, scanned_,          props.pszNormalSubject};
    pending.fingerprint = fingerprint;
    // While the writing thread is behind, this one writes the file's bytes too (nameless, so
    // names still follow the order of the messages): the two share the file system's work.
    MessageFileDraft draft;
    if (writer_->backlog() > kDraftBacklog)
        draft = output_->prepare(
            destination,
            QByteArray::fromRawData(fileBytes.data(), static_cast<qsizetype>(fileBytes.size())));
    writer_->start({destination,
                    values.Date,
                    std::move(fileBytes),
                    {run.Id, props.dwMessageId},
                    PrepareIndexEntry({QString(), facts.sender, values.From, facts.subject,
                                       values.To, values.CC, values.BCC, sentDateText}),
                    std::move(draft),
                    csvRow,
                    std::move(manifestNote)});
    pending_.push_back(std::move(pending));
    // A huge message is not held while the next is read: memory stays at what one needs.
    if (huge)
        FinishPendingWrites();
}

PreparedCsvRow ExportSession::CsvRow(const CMimeMessage& message, const MESSAGEPROPS& props,
                                     const FolderRun& run, const std::string& fileBytes) const {
    // The attachments are counted in the file as written: it may hold a selection of them, and
    // the parsed source is not split into its parts.
    CMimeMessage written;
    written.Load(fileBytes.data(), fileBytes.size());
    return PrepareCsvRow(CsvEntryOfMessage(message, props, run.TreePath,
                                           static_cast<qint64>(fileBytes.size()),
                                           CountAttachments(written)));
}

void ExportSession::MessageLeftOut(FolderRun& run) {
    if (run.Reported >= run.Enumerated)
        return;
    if (pending_.empty()) {
        MessageDone(run, scanned_, run.Enumerated);
        return;
    }
    PendingWrite done;
    done.run = &run;
    done.enumerated = run.Enumerated;
    done.scanned = scanned_;
    done.written = false;
    pending_.push_back(std::move(done));
}

void ExportSession::MakeRoomForWrite() {
    if (!writer_->full())
        return;
    // A full queue is let down to half at once, so that the two sides do not hand over one
    // by one.
    const size_t half = BackgroundFileWriter::kMaxJobs / 2;
    const size_t started = writer_->started();
    writer_->waitForResults(started > half ? started - half : 1);
    while (!pending_.empty() && (writer_->full() || writer_->started() > half))
        FinishOldestWrite();
}

void ExportSession::FinishOldestWrite() {
    PendingWrite pending = std::move(pending_.front());
    pending_.pop_front();
    if (pending.written) {
        BackgroundFileWriter::Outcome outcome = writer_->result();
        std::string& spent = outcome.job.bytes;
        if (spent.capacity() > 0 && spareBuffers_.size() < kSpareBuffers)
            spareBuffers_.push_back(std::move(spent));
        CompleteWrite(pending, outcome);
    }
    MessageDone(*pending.run, pending.scanned, pending.enumerated);
}

void ExportSession::FinishPendingWrites() {
    while (!pending_.empty())
        FinishOldestWrite();
}

void ExportSession::CompleteWrite(PendingWrite& pending,
                                  const BackgroundFileWriter::Outcome& outcome) {
    const MessageFileResult& result = outcome.file;
    FolderRun& run = *pending.run;
    if (outcome.noted) {
        // From now on a copy of the message is found exported, or not.
        QString error;
        if (!manifest_->settle(outcome.job.manifestNote->fingerprint, *outcome.noted,
                               result.written(), &error))
            ReportManifestProblem(error);
    }
    if (!result.written()) {
        if (result.status == MessageFileResult::Status::Failed)
            ReportProblem(MessageText(run, pending.enumerated, pending.normalSubject) +
                          LocationText(run, pending.messageId) +
                          QStringLiteral(" could not be written: ") + ReasonText(result.error),
                          ExportProblemKind::FileUnwritten);
        return;
    }
    if (settings_.AntiDateFiles == 1)
        AntiDateFile(result.path, pending.sent);
    if (!outcome.indexed)
        ReportIndexProblem(outcome.indexError);
    if (!outcome.csvIndexed)
        ReportCsvProblem(outcome.csvError);
    if (result.replaced && result.replaced->folderId == run.Id)
        std::erase(run.ExportedIdList, result.replaced->messageId);
    ++exported_;
    ++run.ExportedInFolder;
    // Only source actions need the exported messages later.
    if (SourceActionsRun()) {
        run.ExportedIdList.push_front(pending.messageId);
        run.ExportedNames[pending.messageId] = {pending.enumerated, pending.normalSubject};
    }
}

void ExportSession::NoteReadDoubt(const IStoreFolder& folder, FolderRun& run) {
    if (!run.ReadDoubt.isEmpty())
        return;
    StoreMessageId from = 0;
    run.ReadDoubt = folder.ReadDoubt(&from);
    if (run.ReadDoubt.isEmpty())
        return;
    run.DoubtFrom = from;
    FinishPendingWrites(); // the files are remembered by the writing side
    output_->doubtFolderFiles(run.Id, from,
                              QStringLiteral("its message was read while the mail folder changed"));
}

void ExportSession::ReportUnconfirmedFiles(FolderRun& run) {
    // Only a message whose file is on disk as written may lose its source.
    for (const UnconfirmedFile& file : output_->confirmFolderFiles(run.Id)) {
        std::erase(run.ExportedIdList, file.messageId);
        ReportProblem(QStringLiteral("the message file '%1' is not confirmed as a copy of its "
                                     "message (%2); its message stays in the mail folder '%3'")
                          .arg(file.path, file.reason, run.TreePath) +
                          LocationText(run, file.messageId),
                      ExportProblemKind::FileUnsure);
    }
}

void ExportSession::ConfirmRecordedCopies(FolderRun& run) {
    RecordedCopyCheck check;
    for (const FolderRun::RecordedCopy& copy : run.RecordedCopies) {
        QString why;
        if (!run.ReadDoubt.isEmpty() && copy.messageId >= run.DoubtFrom)
            why = QStringLiteral("its message was read while the mail folder changed");
        else
            check.confirm(copy.path, copy.size, copy.inode, &why);
        if (why.isEmpty()) {
            run.ExportedIdList.push_front(copy.messageId);
            run.ExportedNames[copy.messageId] = copy.name;
            continue;
        }
        ReportProblem(QStringLiteral("the message file '%1' is not confirmed as a copy of its "
                                     "message (%2); its message stays in the mail folder '%3'")
                              .arg(copy.path, why, run.TreePath) +
                          LocationText(run, copy.messageId),
                      ExportProblemKind::FileUnsure);
    }
    run.RecordedCopies.clear();
}

void ExportSession::ApplySourceActions(IStoreFolder& folder, FolderRun& run) {
    actedOn_ += static_cast<int>(run.ExportedIdList.size());
    for (StoreMessageId id : run.ExportedIdList) {
        MESSAGEIDLIST list;
        list.ids.push_back(id);
        QString action;
        if (settings_.ActionMarkRead == 1) {
            action = QStringLiteral("Flagging exported messages Read...");
            if (!Succeeded(folder.MarkMessagesAsRead(true, list)))
                ReportProblem(ExportedText(run, id) +
                              QStringLiteral(" could not be marked read: ") +
                              ReasonText(folder.LastError()),
                          ExportProblemKind::SourceUnchanged);
        }
        if (settings_.ActionDelete == 1) {
            action = QStringLiteral("Deleting exported messages...");
            if (!Succeeded(folder.DeleteMessages(list)))
                ReportProblem(ExportedText(run, id) +
                              QStringLiteral(" could not be deleted: ") +
                              ReasonText(folder.LastError()),
                          ExportProblemKind::SourceUnchanged);
        }
        observer_.SetStatusText(run.Name + QStringLiteral(": ") + action);
        observer_.PumpEvents();
    }
}

} // namespace parcelo
