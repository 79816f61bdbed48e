// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/EnumeratedStoreFolder.h"
#include "store/mbox/MboxReadGuard.h"
#include "store/mbox/MboxReader.h"
#include "store/mbox/MboxScanner.h"
#include "store/mbox/MboxStateRules.h"
#include "store/mbox/MessageStarts.h"
#include "store/mork/MailFolderIndex.h"

#include <QFile>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

namespace parcelo {

// One mbox file as an open store folder. Marking read and deleting are collected and applied
// once, by Compact() or Close(): in place when every change is an X-Mozilla-Status edit,
// otherwise in one rewrite of the file.
//
// The folder learns where each message starts as enumeration reads the file, once, front to
// back; only those offsets are kept, so memory stays small whatever the size of the file. A
// message opened right after it was enumerated is served from the bytes read then.
//
// From open until enumeration reaches the end, the file is read under a shared fcntl lock, so
// that a mail server that locks does not change it meanwhile; a change by a program that does
// not lock is seen before each message is handed out (see ReadDoubt).
class MboxFolder : public EnumeratedStoreFolder {
public:
    // changed is called after every change written to the file.
    // clientProfile: the mailbox lies in the mail client's profile (see MboxStateRules).
    explicit MboxFolder(const QString& path, std::function<void()> changed = {},
                        bool clientProfile = false);
    ~MboxFolder() override;

    // Opens the file; false (with the reason) when it cannot be read or is no mbox.
    bool open(QString* error);

    HRESULT OpenMessage(StoreMessageId id, std::unique_ptr<IStoreStream>* stream) override;
    HRESULT MarkMessagesAsRead(bool read, const MESSAGEIDLIST& ids) override;
    HRESULT DeleteMessages(const MESSAGEIDLIST& ids) override;
    HRESULT Compact() override;
    HRESULT Close() override;
    QString LastError() const override { return error_; }
    QString ReadDoubt(StoreMessageId* from) const override;
    QString LockWarning() const override { return guard_.blocker(); }
    // The file, the message's number and the offset of its "From " line.
    QString MessageLocation(StoreMessageId id) const override;
    std::optional<FolderReadEnd> ReadEnd() const override { return readEnd_; }
    bool ResumeAfter(const FolderReadEnd& end) override;

    // Of the bytes before the end of a read, at least this many are compared by a later read
    // that starts at the end.
    static constexpr qint64 kCheckedStretch = 64 << 10;

    // Messages no bigger than this are kept in memory from enumeration to OpenMessage.
    static constexpr qint64 kKeptMessageLimit = 8 << 20;
    // How long open waits for another program's write lock to be let go.
    static constexpr std::chrono::milliseconds kReadLockWait{10000};

private:
    struct Pending {
        bool read = false;
        bool deleted = false;
    };
    static constexpr qint64 kGone = MessageStarts::kUnreadable;

    HRESULT applyChanges(bool compact);
    // Marks the messages for a change applied at Close or Compact.
    HRESULT recordChange(const MESSAGEIDLIST& ids, bool Pending::*change);
    bool isLive(StoreMessageId id) const;
    // Reads the message of a live id; with keep, its header and bytes stay in reader_.
    bool readMessage(StoreMessageId id, bool keep, MboxMessage* message);
    // Reads on past the last message known and gives the next live one an id (kept as by
    // readMessage); false at the end of the file or when it cannot be read (error_ says).
    bool indexNext();
    // Makes sure the id is known, reading on as needed.
    bool indexUpTo(StoreMessageId id);
    // The whole index, read again; false when the file is no longer the one the ids were
    // given for.
    bool rescanForChange(MboxScan* scan, std::vector<size_t>* indexOfId);
    QString goneText(StoreMessageId id) const;
    // Compares the file with its state when the read began; next: the message about to be
    // handed out, or the number of ids at the end. Only after a read of the file, unless always.
    void checkUnchanged(StoreMessageId next, bool always = false);
    // The enumeration reached its end or failed: the last check, and the lock is let go.
    void endRead();
    bool isOpen() const override { return open_; }
    HRESULT findFrom(StoreMessageId id, StoreMessageId* next, MESSAGEPROPS* props) override;

    QString path_;
    std::function<void()> changed_;
    bool clientProfile_ = false;
    std::unique_ptr<MailFolderIndex> index_; // the client's current index, when there is one
    MboxStateRules rules_;
    QFile file_;
    MboxReadGuard guard_;
    QString doubt_;
    StoreMessageId doubtFrom_ = 0;
    // The first message read from the file since the last check, outside enumeration (a big
    // one, opened after it was handed out); none when it is kNoneRead.
    static constexpr StoreMessageId kNoneRead = StoreMessageId(-1);
    StoreMessageId readSinceCheck_ = kNoneRead;
    quint64 fileReads_ = 0;    // reads of the file by the readers of this folder
    quint64 readsAtCheck_ = 0; // as many as there were at the last check
    MboxScan identity_;        // the file's identity when indexed; no messages
    // Message id -> where its separator starts, or kGone; most of it in a temporary file.
    MessageStarts starts_;
    qint64 indexedEnd_ = 0; // messages before this offset have their ids
    bool indexed_ = false;  // the whole file is
    // Messages before the offset where the read began (see ResumeAfter), which have no ids.
    qint64 messagesBefore_ = 0;
    qint64 lastStart_ = -1;   // the separator of the last message read, whether it has an id
    qint64 stretchFrom_ = -1; // the last separator at least kCheckedStretch before the end
    std::optional<FolderReadEnd> readEnd_;
    std::vector<Pending> pending_; // by message id; empty until a change is recorded
    // Enumeration reads on from where it stopped; the last message read is kept.
    std::unique_ptr<MboxReader> reader_;
    qint64 readerNext_ = -1;
    StoreMessageId keptId_ = 0;
    bool kept_ = false;
    MboxMessage keptMessage_;
    bool open_ = false;
    QString error_;
};

} // namespace parcelo
