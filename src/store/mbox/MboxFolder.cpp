// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/mbox/MboxFolder.h"

#include "store/CrlfFileStream.h"
#include "store/CrlfMemoryStream.h"
#include "store/RegularFile.h"
#include "store/header/MessageHeader.h"
#include "store/mbox/CurrentFolderIndex.h"
#include "store/mbox/MboxChangePlan.h"
#include "store/mbox/MboxRewriter.h"
#include "store/mbox/MboxStretchDigest.h"
#include "store/mork/MailFolderIndex.h"

#include <algorithm>
#include <unistd.h>

namespace parcelo {

namespace {

constexpr size_t kNoIndex = size_t(-1);

QByteArray BareMessageId(QByteArray id) {
    id = id.trimmed();
    if (id.startsWith('<'))
        id.remove(0, 1);
    if (id.endsWith('>'))
        id.chop(1);
    return id;
}

// Whether the index entry found at a message's offset is that message: where both name a
// Message-ID, they agree. The index's state is written into the file only then.
bool IsMessageOfEntry(int fd, const MboxMessage& message, const MailFolderIndexEntry& entry) {
    if (entry.messageId.isEmpty())
        return true;
    constexpr qint64 kHeaderLimit = 256 << 10;
    QByteArray header(qsizetype(std::min(message.headerEnd - message.contentStart, kHeaderLimit)),
                      Qt::Uninitialized);
    if (header.isEmpty() ||
        ::pread(fd, header.data(), size_t(header.size()), message.contentStart) != header.size())
        return false;
    const QByteArray id = BareMessageId(MessageHeader(header).value("Message-ID"));
    return id.isEmpty() || id == BareMessageId(entry.messageId);
}

} // namespace

MboxFolder::MboxFolder(const QString& path, std::function<void()> changed, bool clientProfile)
    : path_(path), changed_(std::move(changed)), clientProfile_(clientProfile), guard_(path) {}

MboxFolder::~MboxFolder() {
    if (open_)
        Close();
}

bool MboxFolder::open(QString* error) {
    identity_ = MboxScan{};
    starts_.clear();
    pending_.clear();
    reader_.reset();
    kept_ = false;
    indexedEnd_ = 0;
    indexed_ = false;
    messagesBefore_ = 0;
    lastStart_ = -1;
    stretchFrom_ = -1;
    readEnd_.reset();
    doubt_.clear();
    readSinceCheck_ = kNoneRead;
    readsAtCheck_ = fileReads_;
    guard_.forget();
    file_.close();
    index_ = ReadCurrentFolderIndex(path_);
    rules_ = MboxStateRules{clientProfile_, index_.get()};
    // Only the start is looked at now: the messages are read as they are enumerated. A writer
    // that holds its lock now is let finish before anything is read.
    QString reason;
    if (OpenRegularFile(&file_, path_, &reason) &&
        guard_.lock(file_.handle(), kReadLockWait, &reason) &&
        ReadMboxIdentity(file_.handle(), &identity_, &reason) && !StartsAsMbox(&file_))
        reason = file_.error() == QFileDevice::NoError ? QStringLiteral("not an mbox file")
                                                       : file_.errorString();
    if (!reason.isEmpty()) {
        error_ = path_ + QStringLiteral(": ") + reason;
        if (error)
            *error = error_;
        guard_.forget();
        file_.close();
        return false;
    }
    open_ = true;
    return true;
}

bool MboxFolder::isLive(StoreMessageId id) const {
    return open_ && id < starts_.size() && starts_.at(id) != kGone &&
           (pending_.empty() || !pending_[id].deleted);
}

bool MboxFolder::readMessage(StoreMessageId id, bool keep, MboxMessage* message) {
    const qint64 start = starts_.at(id);
    if (keep && kept_ && keptId_ == id) {
        *message = keptMessage_;
        return true;
    }
    std::unique_ptr<MboxReader> single;
    if (!keep)
        single = std::make_unique<MboxReader>(file_.handle(), start, identity_.size,
                                              MboxReader::Options{false, 0, &rules_, &fileReads_});
    else if (!reader_ || readerNext_ > start)
        reader_ = std::make_unique<MboxReader>(
            file_.handle(), start, identity_.size,
            MboxReader::Options{true, kKeptMessageLimit, &rules_, &fileReads_});
    MboxReader& reader = keep ? *reader_ : *single;
    kept_ = kept_ && !keep;
    while (reader.next(message)) {
        if (keep)
            readerNext_ = message->regionEnd;
        if (message->separatorStart == start) {
            if (keep) {
                kept_ = true;
                keptId_ = id;
                keptMessage_ = *message;
            }
            return true;
        }
        if (message->separatorStart > start)
            break;
    }
    error_ = reader.failed() ? path_ + QStringLiteral(": ") + reader.error()
                             : QStringLiteral("%1 changed while it was open").arg(path_);
    if (keep)
        reader_.reset();
    return false;
}

bool MboxFolder::indexNext() {
    if (indexed_)
        return false;
    if (!reader_ || readerNext_ != indexedEnd_) {
        reader_ = std::make_unique<MboxReader>(
            file_.handle(), indexedEnd_, identity_.size,
            MboxReader::Options{true, kKeptMessageLimit, &rules_, &fileReads_});
    }
    kept_ = false;
    MboxMessage message;
    while (reader_->next(&message)) {
        readerNext_ = indexedEnd_ = message.regionEnd;
        lastStart_ = message.separatorStart;
        if (stretchFrom_ < 0 || lastStart_ <= identity_.size - kCheckedStretch)
            stretchFrom_ = lastStart_;
        if (message.expunged || message.folderData)
            continue; // no id, as if it were gone
        starts_.push_back(message.separatorStart);
        if (!pending_.empty())
            pending_.push_back(Pending{});
        kept_ = true;
        keptId_ = StoreMessageId(starts_.size() - 1);
        keptMessage_ = message;
        return true;
    }
    if (reader_->failed())
        error_ = path_ + QStringLiteral(": ") + reader_->error();
    else
        indexed_ = true;
    reader_.reset();
    return false;
}

bool MboxFolder::indexUpTo(StoreMessageId id) {
    while (id >= starts_.size())
        if (!indexNext())
            return false;
    return true;
}

HRESULT MboxFolder::findFrom(StoreMessageId id, StoreMessageId* next, MESSAGEPROPS* props) {
    for (;; ++id) {
        if (id >= starts_.size()) {
            if (!indexNext()) {
                *next = StoreMessageId(starts_.size());
                endRead();
                return indexed_ ? S_FALSE : E_IO;
            }
            id = StoreMessageId(starts_.size() - 1);
        }
        if (!isLive(id))
            continue;
        MboxMessage message;
        if (!readMessage(id, true, &message)) {
            *next = StoreMessageId(starts_.size());
            endRead();
            return E_IO;
        }
        *props = MESSAGEPROPS{};
        props->dwMessageId = id;
        const bool readPending = !pending_.empty() && pending_[id].read;
        if (!message.read && !readPending)
            props->dwState |= MSG_UNREAD;
        if (message.flagged)
            props->dwState |= MSG_FLAGGED;
        props->cbMessage = message.cbMessage;
        HeaderSummary summary;
        QDateTime separatorDate;
        SummarizeMboxMessage(reader_->separatorLine(), reader_->header(), &summary, &separatorDate);
        ApplyHeaderSummary(summary, separatorDate, props);
        checkUnchanged(id);
        *next = id + 1;
        return S_OK;
    }
}

HRESULT MboxFolder::OpenMessage(StoreMessageId id, std::unique_ptr<IStoreStream>* stream) {
    if (open_ && !indexUpTo(id) && !indexed_)
        return E_IO;
    if (!isLive(id)) {
        error_ = goneText(id);
        return E_NOTFOUND;
    }
    if (kept_ && keptId_ == id && reader_ && reader_->regionKept()) {
        const MboxMessage& message = keptMessage_;
        const qint64 base = message.separatorStart;
        *stream = std::make_unique<CrlfMemoryStream>(
            reader_->region(), qsizetype(message.contentStart - base),
            qsizetype(message.contentEnd - base), message.cbMessage, !message.lengthEnded, path_);
        return S_OK;
    }
    MboxMessage message;
    const bool enumerated = kept_ && keptId_ == id;
    readSinceCheck_ = std::min(readSinceCheck_, id);
    if (!readMessage(id, enumerated, &message))
        return E_IO;
    // From the file enumerated, whatever has its name now: another program may have put a
    // compacted copy in its place.
    auto opened = std::make_unique<CrlfFileStream>(file_.handle(), path_, message.contentStart,
                                                   message.contentEnd, message.cbMessage,
                                                   !message.lengthEnded);
    if (!opened->open()) {
        error_ = opened->LastError();
        return E_IO;
    }
    *stream = std::move(opened);
    return S_OK;
}

HRESULT MboxFolder::MarkMessagesAsRead(bool read, const MESSAGEIDLIST& ids) {
    if (!read)
        return E_INVALIDARG; // the store only ever marks exported messages read
    return recordChange(ids, &Pending::read);
}

HRESULT MboxFolder::DeleteMessages(const MESSAGEIDLIST& ids) {
    return recordChange(ids, &Pending::deleted);
}

HRESULT MboxFolder::recordChange(const MESSAGEIDLIST& ids, bool Pending::*change) {
    HRESULT hr = S_OK;
    for (StoreMessageId id : ids.ids) {
        if (open_)
            indexUpTo(id); // an id not enumerated yet is learnt by reading on
        if (!isLive(id)) {
            error_ = goneText(id);
            hr = E_INVALIDARG;
            continue;
        }
        if (pending_.empty())
            pending_.resize(starts_.size());
        pending_[id].*change = true;
    }
    return hr;
}

bool MboxFolder::rescanForChange(MboxScan* scan, std::vector<size_t>* indexOfId) {
    // A write seen during the read, or since, moved what the ids stand for.
    if (!doubt_.isEmpty() || !guard_.change().isEmpty() || !SameFileAsScanned(path_, identity_)) {
        error_ = QStringLiteral("%1 changed while it was open").arg(path_);
        return false;
    }
    *scan = ScanMbox(path_);
    if (!scan->ok) {
        error_ = path_ + QStringLiteral(": ") + scan->error;
        return false;
    }
    // The ids were given in file order: each live one finds its message by where it starts.
    indexOfId->assign(starts_.size(), kNoIndex);
    size_t index = 0;
    for (size_t id = 0; id < starts_.size(); ++id) {
        const qint64 start = starts_.at(id);
        if (start == kGone)
            continue;
        while (index < scan->messages.size() && scan->messages[index].separatorStart < start)
            ++index;
        if (index == scan->messages.size() || scan->messages[index].separatorStart != start) {
            error_ = QStringLiteral("%1 changed while it was open").arg(path_);
            return false;
        }
        (*indexOfId)[id] = index;
    }
    return true;
}

HRESULT MboxFolder::applyChanges(bool compact) {
    error_.clear();
    // The change takes a write lock of its own, which the read lock would keep out.
    guard_.unlock();
    if (pending_.empty() && !compact)
        return S_OK;
    MboxScan scan;
    std::vector<size_t> indexOfId;
    if (!rescanForChange(&scan, &indexOfId))
        return E_FAIL; // the changes stay pending
    std::vector<Pending> pendingAt(scan.messages.size());
    if (!pending_.empty()) {
        for (size_t id = 0; id < indexOfId.size(); ++id)
            if (indexOfId[id] != kNoIndex)
                pendingAt[indexOfId[id]] = pending_[id];
    }
    size_t indexedCount = 0; // the messages read so far, in the file as it is now
    while (indexedCount < scan.messages.size() &&
           scan.messages[indexedCount].separatorStart < indexedEnd_)
        ++indexedCount;
    // The client's index, read now, since the change removes it: what only it holds of a kept
    // message is written into the message first.
    const std::unique_ptr<MailFolderIndex> clientIndex = ReadCurrentFolderIndex(path_);
    std::vector<MboxChange> changes(scan.messages.size());
    for (size_t i = 0; i < changes.size(); ++i) {
        const MboxMessage& message = scan.messages[i];
        const MailFolderIndexEntry* entry =
            clientIndex ? clientIndex->findAt(message.separatorStart) : nullptr;
        if (entry && !IsMessageOfEntry(file_.handle(), message, *entry))
            entry = nullptr;
        changes[i] =
            PlanMboxChange(message, entry, {pendingAt[i].read, pendingAt[i].deleted, compact});
    }
    if (!ApplyMboxChanges(path_, scan, changes, &error_))
        return E_FAIL; // the file is as it was; the changes stay pending

    bool changed = false;
    std::vector<size_t> newIndex(changes.size(), kNoIndex);
    size_t kept = 0;
    for (size_t i = 0; i < changes.size(); ++i) {
        changed = changed || changes[i].changesAnything();
        if (!changes[i].drop)
            newIndex[i] = kept++;
    }
    pending_.clear();
    if (!changed)
        return S_OK;
    readEnd_.reset();
    reader_.reset();
    kept_ = false;
    if (changed_)
        changed_();
    // Mail appended during the change was kept after the last message: it gets no id.
    MboxScan rescan = ScanMbox(path_);
    if (!rescan.ok || rescan.messages.size() < kept) {
        // The change is on disk, but the file no longer reads as expected: no id is valid.
        error_ = QStringLiteral("%1 could not be read again after the change: %2")
                     .arg(path_, rescan.error.isEmpty()
                                     ? QStringLiteral("it holds fewer messages than were kept")
                                     : rescan.error);
        starts_.fill(kGone);
        return S_OK;
    }
    for (size_t id = 0; id < starts_.size(); ++id) {
        const size_t index = indexOfId[id] == kNoIndex ? kNoIndex : newIndex[indexOfId[id]];
        starts_.set(id, index == kNoIndex || rescan.messages[index].expunged
                            ? kGone
                            : rescan.messages[index].separatorStart);
    }
    qint64 indexedEnd = rescan.prefixLength;
    for (size_t i = 0; i < indexedCount; ++i)
        if (newIndex[i] != kNoIndex)
            indexedEnd = rescan.messages[newIndex[i]].regionEnd;
    indexedEnd_ = indexedEnd;
    // A rewrite replaced the file: read on from the new one.
    guard_.forget();
    file_.close();
    QString reason;
    if (!OpenRegularFile(&file_, path_, &reason)) {
        error_ = path_ + QStringLiteral(": ") + reason;
        starts_.fill(kGone);
        return S_OK;
    }
    if (!guard_.watch(file_.handle(), &reason)) {
        error_ = path_ + QStringLiteral(": ") + reason;
        starts_.fill(kGone);
        return S_OK;
    }
    identity_ = rescan;
    identity_.messages.clear();
    return S_OK;
}

void MboxFolder::checkUnchanged(StoreMessageId next, bool always) {
    // Nothing read from the file since the last check: what was handed out since came from
    // bytes read before it passed.
    if (!always && fileReads_ == readsAtCheck_ && readSinceCheck_ == kNoneRead)
        return;
    readsAtCheck_ = fileReads_;
    if (doubt_.isEmpty()) {
        doubt_ = guard_.change();
        // What was read before the last check that passed was read from the file as it was.
        doubtFrom_ = std::min(readSinceCheck_, next);
    }
    readSinceCheck_ = kNoneRead;
}

void MboxFolder::endRead() {
    // Taken before the last check: a change meanwhile leaves none.
    FolderReadEnd end;
    if (indexed_ && lastStart_ >= 0 &&
        DigestMboxStretch(file_.handle(), stretchFrom_, indexedEnd_, &end.digest)) {
        end.inode = identity_.inode;
        end.end = indexedEnd_;
        end.lastStart = lastStart_;
        end.checkedFrom = stretchFrom_;
        end.messages = messagesBefore_ + qint64(starts_.size());
        readEnd_ = end;
    }
    checkUnchanged(StoreMessageId(starts_.size()), true);
    if (!doubt_.isEmpty())
        readEnd_.reset();
    guard_.unlock();
}

bool MboxFolder::ResumeAfter(const FolderReadEnd& end) {
    if (!open_ || starts_.size() != 0 || indexedEnd_ != 0 || indexed_ || reader_)
        return false;
    if (end.inode != identity_.inode || end.end > identity_.size || end.lastStart < 0 ||
        end.checkedFrom > end.lastStart || end.lastStart >= end.end)
        return false;
    Sha256Digest digest{};
    if (!DigestMboxStretch(file_.handle(), end.checkedFrom, end.end, &digest) ||
        digest != end.digest)
        return false;
    // The last message still ends where the read stopped, read as far as the file goes now:
    // a line added right after it, or a Content-Length of it that reaches into what was added,
    // would make the first bytes added a part of it.
    MboxReader reader(file_.handle(), end.lastStart, identity_.size,
                      MboxReader::Options{false, 0, &rules_});
    MboxMessage last;
    if (!reader.next(&last) || last.separatorStart != end.lastStart || last.regionEnd != end.end)
        return false;
    indexedEnd_ = end.end;
    messagesBefore_ = end.messages;
    lastStart_ = end.lastStart;
    stretchFrom_ = end.checkedFrom;
    return true;
}

QString MboxFolder::ReadDoubt(StoreMessageId* from) const {
    if (from)
        *from = doubtFrom_;
    return doubt_;
}

QString MboxFolder::MessageLocation(StoreMessageId id) const {
    const qint64 number = messagesBefore_ + id + 1;
    const qint64 start = id < starts_.size() ? starts_.at(id) : kGone;
    if (start == kGone)
        return QStringLiteral("%1, message %2").arg(path_).arg(number);
    return QStringLiteral("%1, message %2 at byte %3").arg(path_).arg(number).arg(start);
}

QString MboxFolder::goneText(StoreMessageId id) const {
    if (!open_)
        return QStringLiteral("%1 is not open").arg(path_);
    return QStringLiteral("%1: message %2 is no longer in the file")
        .arg(path_)
        .arg(messagesBefore_ + id + 1);
}

HRESULT MboxFolder::Compact() {
    if (!open_) {
        error_ = goneText(0);
        return E_FAIL;
    }
    return applyChanges(true);
}

HRESULT MboxFolder::Close() {
    if (!open_) {
        error_ = goneText(0);
        return E_FAIL;
    }
    const HRESULT hr = applyChanges(false);
    open_ = false;
    closeEnumerations();
    reader_.reset();
    kept_ = false;
    guard_.forget();
    file_.close();
    return hr;
}

} // namespace parcelo
