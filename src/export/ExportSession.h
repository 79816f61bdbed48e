// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "export/CheckedFolderSet.h"
#include "export/ExportObserver.h"
#include "export/ExportProblemKind.h"
#include "export/ExportSettings.h"
#include "export/manifest/ExportManifest.h"
#include "export/output/BackgroundFileWriter.h"
#include "export/output/MessageFileOutput.h"
#include "export/report/ExportLog.h"
#include "export/report/IndexPageWriter.h"
#include "filters/MessageFilterFacts.h"
#include "mime/MessageConversion.h"
#include "store/IStoreNamespace.h"
#include "store/tree/FolderTreeModel.h"

#include <QString>
#include <QStringList>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace parcelo {

struct ExportCommandResult {
    int Exported = 0;
    int Skipped = -1;          // exported before (OnlyNew); -1 when every message was exported
    QString ValidationMessage; // one of the two message-box texts, or empty
    bool TreeRebuilt = false;  // the tree was rebuilt after a deleting run
    bool OpenIndex = false;    // something was exported: the front end opens the index page
    // What could not be read, written or changed, one line each, as ReportProblem heard it.
    QStringList Problems;
    ExportProblemCounts ProblemCounts; // how many problems of each kind
};

// One Export command: validation, the run over every checked mailbox, and its counters.
// The window and the command line run the same code through an observer.
class ExportSession {
public:
    ExportSession(const ExportSettings& settings, IStoreNamespace& store,
                  IExportObserver& observer);

    ExportCommandResult OnExportMessages(FolderTreeModel& tree);
    int RunExport();

    CheckedFolderSet& Checked() { return checked_; }
    int ScannedCount() const { return scanned_; }
    int ExportedCount() const { return exported_; }
    int SkippedCount() const { return skipped_; }
    const QStringList& Problems() const { return problems_; }

    static constexpr std::uint32_t kReadChunk = 4095;
    // Reads the whole source; false, with the store's reason in error, when it cannot be
    // opened or a read fails midway.
    // sizeHint: the bytes to make room for at once (the announced size).
    static bool ReadMessageSource(IStoreFolder& folder, StoreMessageId id, std::string* source,
                                  QString* error = nullptr, size_t sizeHint = 0);

    // The lock that shows the mail client runs on the store's profile, in words; empty when
    // the store lies in no profile or the client is not running.
    static QString RunningMailClient(IStoreNamespace& store);
    // Whether the settings ask the run to change the store (mark read, delete, compact).
    static bool ChangesStore(const ExportSettings& settings);
    // How message sources become messages; tests put in one that fails.
    using MessageParser = std::unique_ptr<CMimeMessage> (*)(const std::string& source);
    void SetMessageParser(MessageParser parser) { parse_ = parser; }

private:
    struct FolderRun {
        StoreFolderId Id = 0;
        QString Name;
        QString TreePath;
        int StoreMessageCount = 0; // -1: the store did not count it
        int ExportedInFolder = 0;
        int Enumerated = 0; // position of the current message in the folder, from 1
        int Reported = 0;   // the last message the observer heard was done
        // What the log counts: a folder the store did not count has as many as were read.
        int ScannedCount() const { return StoreMessageCount < 0 ? Enumerated : StoreMessageCount; }
        std::deque<StoreMessageId> ExportedIdList;
        // What a problem names an exported message by; the text is made only for a problem, so
        // that a run that acts on its sources keeps little for each message.
        struct NamedMessage {
            int enumerated = 0;
            QByteArray normalSubject;
        };
        std::map<StoreMessageId, NamedMessage> ExportedNames;
        const IStoreFolder* Folder = nullptr; // says where a message lies, while it is open
        QString ReadDoubt; // why messages read from the folder may not be as it holds them
        StoreMessageId DoubtFrom = 0; // the first message in doubt, once ReadDoubt is set
        int SkippedInFolder = 0;      // exported before
        QStringList Duplicates;       // copies of messages exported earlier in this run
        // Messages exported before whose files are to be confirmed for the source actions.
        struct RecordedCopy {
            StoreMessageId messageId = 0;
            QString path;
            qint64 size = 0;
            ino_t inode = 0;
            NamedMessage name;
        };
        std::vector<RecordedCopy> RecordedCopies;
    };

    void ExportFolder(StoreFolderId id, const QString& treePath);
    void ProcessMessage(IStoreFolder& folder, const MESSAGEPROPS& props, FolderRun& run);
    // What is done once the file of a message is written, kept while it is being written.
    struct PendingWrite {
        FolderRun* run = nullptr;
        StoreMessageId messageId = 0;
        QDateTime sent;
        int enumerated = 0; // how a problem names the message
        int scanned = 0;    // the run's count of messages looked at, with this one
        QByteArray normalSubject;
        bool written = true; // false: a message left out, told done in its turn
        // While the list of exported messages is kept: which message is being written.
        std::optional<SourceFingerprint> fingerprint{};
    };
    // Messages bigger than this are written before the next one is read.
    static constexpr size_t kOverlappedWriteLimit = 8 << 20;
    // More files than this waiting for the writing thread: this thread writes the next one's
    // bytes itself.
    static constexpr size_t kDraftBacklog = BackgroundFileWriter::kMaxJobs / 4;

    // Takes the source over: it is released once the message file's bytes exist. The file is
    // written in the background; FinishOldestWrite completes it later, in order.
    void WriteMessage(std::string& source, const MESSAGEPROPS& props,
                      const MessageFilterFacts& facts, FolderRun& run,
                      const std::optional<SourceFingerprint>& fingerprint);
    // Opens the destination's list of exported messages; false, with a sentence for the user.
    bool OpenManifest(QString* message);
    // Whether the message was exported before, and so is not exported again: counted as
    // skipped, kept for the source actions where its file still stands.
    bool SkipExported(const SourceFingerprint& fingerprint, const MESSAGEPROPS& props,
                      FolderRun& run);
    void CloseManifest();
    // Whether a folder read completely before may be left out while it is unchanged: only new
    // messages are exported, every message passes, nothing changes the store.
    bool MayLeaveOutUnchangedFolders() const;
    // What the list says of the folder's last complete read, when it still counts.
    std::optional<ExportManifest::FolderRead> FolderReadBefore(const SourceFingerprint& key,
                                                               const QString& stamp);
    // The messages of the folder's last complete read count as found exported.
    void CountFolderReadBefore(FolderRun& run, qint64 messages);
    // Has the folder read on from where its last complete read ended, when it only grew since.
    void ResumeFolderRead(IStoreFolder& folder, FolderRun& run,
                          const ExportManifest::FolderRead& before);
    // The CSV index's row of a message about to be written.
    PreparedCsvRow CsvRow(const CMimeMessage& message, const MESSAGEPROPS& props,
                          const FolderRun& run, const std::string& fileBytes) const;
    QString StatusText(const FolderRun& run) const;
    // Lets a message source's memory go when it was big.
    static void ReleaseSource(std::string& source);
    // Tells the observer of a message that was not written, after those before it.
    void MessageLeftOut(FolderRun& run);
    void MakeRoomForWrite();
    void FinishOldestWrite();
    void FinishPendingWrites();
    void CompleteWrite(PendingWrite& pending, const BackgroundFileWriter::Outcome& outcome);
    // Tells the observer a message is done: progress, status, pause and events.
    void MessageDone(FolderRun& run, int scanned, int enumerated);
    // Asks the folder whether its file changed while it was read; the first time it did, the
    // files of the messages read since are put in doubt.
    void NoteReadDoubt(const IStoreFolder& folder, FolderRun& run);
    // Names the folder's message files that cannot be confirmed as copies of their messages,
    // which are then kept from the source actions.
    void ReportUnconfirmedFiles(FolderRun& run);
    // Adds the messages exported before whose files still stand to those the actions apply to.
    void ConfirmRecordedCopies(FolderRun& run);
    void ApplySourceActions(IStoreFolder& folder, FolderRun& run);
    void ReportProblem(const QString& text, ExportProblemKind kind = ExportProblemKind::Other);
    // The log and the index page are reported once a run: their next writes fail alike.
    void CheckLogWrite(bool written);
    // Index page entries are written in batches; its problem, too, is reported once a run.
    void FlushIndexPage();
    void ReportIndexProblem(const QString& error);
    void ReportCsvProblem(const QString& error);
    void ReportManifestProblem(const QString& error);
    // Marking read or deleting runs after each folder: exported messages are remembered.
    bool SourceActionsRun() const;
    bool CompactRuns() const;
    // While the mail client runs, the store is left as it is; false (told once) then.
    bool StoreMayChange();
    static QString MessageText(const FolderRun& run, const MESSAGEPROPS& props);
    static QString MessageText(const FolderRun& run, int enumerated,
                               const QByteArray& normalSubject);
    // Where the store says the message lies, as " (where)", or nothing; built only for a
    // problem, while the folder is open.
    static QString LocationText(const FolderRun& run, StoreMessageId id);
    // How a problem names a message this run exported or found exported before.
    static QString ExportedText(const FolderRun& run, StoreMessageId id);

    const ExportSettings& settings_;
    IStoreNamespace& store_;
    IExportObserver& observer_;
    MessageParser parse_ = &ParseMessageSource;
    CheckedFolderSet checked_;
    ExportLog log_;
    std::unique_ptr<MessageFileOutput> output_;
    std::unique_ptr<IndexPageWriter> index_;
    std::unique_ptr<IndexCsvWriter> csv_;
    std::unique_ptr<ExportManifest> manifest_; // while only new messages are exported
    Sha256 sourceHash_;
    std::unique_ptr<BackgroundFileWriter> writer_;
    std::deque<PendingWrite> pending_; // oldest first
    // Message buffers kept between messages, so that most messages need no new ones.
    std::string source_;
    std::vector<std::string> spareBuffers_;
    static constexpr size_t kSpareBuffers = 16;
    static constexpr size_t kKeptSourceSize = 1 << 20;
    int exported_ = 0;
    int scanned_ = 0;
    int skipped_ = 0;
    int actedOn_ = 0; // messages whose sources the actions were applied to
    QStringList problems_;
    ExportProblemCounts problemCounts_;
    AttachmentTally attachmentTally_; // what the attachment choice left out
    bool logReported_ = false;
    bool indexReported_ = false;
    bool csvReported_ = false;
    bool manifestReported_ = false;
    QString clientLock_; // the running mail client's lock; no store change while set
};

} // namespace parcelo
