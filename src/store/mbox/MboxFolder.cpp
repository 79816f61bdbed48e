#include "store/mbox/MboxFolder.h"

#include "store/CrlfFileStream.h"
#include "store/mbox/MboxRewriter.h"

namespace parcelo {

MboxFolder::MboxFolder(const QString& path, std::function<void()> changed)
    : path_(path), changed_(std::move(changed)) {}

MboxFolder::~MboxFolder() {
    if (open_)
        Close();
}

bool MboxFolder::open(QString* error) {
    scan_ = ScanMbox(path_);
    if (!scan_.ok) {
        error_ = path_ + QStringLiteral(": ") + scan_.error;
        if (error)
            *error = error_;
        return false;
    }
    ids_.clear();
    for (size_t i = 0; i < scan_.messages.size(); ++i)
        if (!scan_.messages[i].expunged)
            ids_.push_back(i);
    pending_.assign(scan_.messages.size(), Pending{});
    open_ = true;
    return true;
}

size_t MboxFolder::indexOf(StoreMessageId id) const {
    if (!open_ || id >= ids_.size() || ids_[id] == kGone)
        return kGone;
    const size_t index = ids_[id];
    if (scan_.messages[index].expunged || pending_[index].deleted)
        return kGone;
    return index;
}

HRESULT MboxFolder::findFrom(StoreMessageId id, StoreMessageId* next, MESSAGEPROPS* props) {
    for (; id < ids_.size(); ++id) {
        const size_t index = indexOf(id);
        if (index == kGone)
            continue;
        const MboxMessage& message = scan_.messages[index];
        *props = MESSAGEPROPS{};
        props->dwMessageId = id;
        if (!message.read && !pending_[index].read)
            props->dwState |= MSG_UNREAD;
        if (message.flagged)
            props->dwState |= MSG_FLAGGED;
        props->cbMessage = message.cbMessage;
        // Header properties are read when enumerated, so that the index stays small.
        HeaderSummary summary;
        QDateTime separatorDate;
        QFile file(path_);
        if (file.open(QIODevice::ReadOnly))
            ReadMboxHeader(&file, message, &summary, &separatorDate);
        ApplyHeaderSummary(summary, separatorDate, props);
        *next = id + 1;
        return S_OK;
    }
    *next = StoreMessageId(ids_.size());
    return S_FALSE;
}

HRESULT MboxFolder::OpenMessage(StoreMessageId id, std::unique_ptr<IStoreStream>* stream) {
    const size_t index = indexOf(id);
    if (index == kGone) {
        error_ = goneText(id);
        return E_NOTFOUND;
    }
    const MboxMessage& message = scan_.messages[index];
    auto opened = std::make_unique<CrlfFileStream>(path_, message.contentStart, message.contentEnd,
                                                   message.cbMessage, true);
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
        const size_t index = indexOf(id);
        if (index == kGone) {
            error_ = goneText(id);
            hr = E_INVALIDARG;
        } else {
            pending_[index].*change = true;
        }
    }
    return hr;
}

HRESULT MboxFolder::applyChanges(bool compact) {
    error_.clear();
    std::vector<MboxChange> changes(scan_.messages.size());
    for (size_t i = 0; i < changes.size(); ++i) {
        const MboxMessage& message = scan_.messages[i];
        const Pending& pending = pending_[i];
        MboxChange& change = changes[i];
        quint32 mozStatus = message.mozStatus;
        if (pending.read)
            mozStatus |= kMozillaRead;
        if (pending.deleted)
            mozStatus |= kMozillaExpunged;
        const bool inPlace = FitsMozillaStatus(message, mozStatus);
        if ((compact && (message.expunged || pending.deleted)) || (pending.deleted && !inPlace)) {
            change.drop = true;
        } else if (inPlace) {
            if (mozStatus != message.mozStatus)
                change.mozStatus = mozStatus;
        } else if (pending.read && !message.read) {
            change.addRead = true;
        }
    }
    if (!ApplyMboxChanges(path_, scan_, changes, &error_))
        return E_FAIL; // the file is as it was; the changes stay pending

    bool changed = false;
    std::vector<size_t> newIndex(changes.size(), kGone);
    size_t kept = 0;
    for (size_t i = 0; i < changes.size(); ++i) {
        changed = changed || changes[i].drop || changes[i].addRead || changes[i].mozStatus;
        if (!changes[i].drop)
            newIndex[i] = kept++;
    }
    if (!changed)
        return S_OK;
    if (changed_)
        changed_();
    // Mail appended during the change was kept after the last message: it gets no id.
    MboxScan rescan = ScanMbox(path_);
    if (!rescan.ok || rescan.messages.size() < kept) {
        // The change is on disk, but the file no longer reads as expected: no id is valid.
        error_ = QStringLiteral("%1 could not be read again after the change").arg(path_);
        ids_.assign(ids_.size(), kGone);
        scan_ = MboxScan{};
        pending_.clear();
        return S_OK;
    }
    for (size_t& index : ids_)
        if (index != kGone)
            index = newIndex[index];
    scan_ = std::move(rescan);
    pending_.assign(scan_.messages.size(), Pending{});
    return S_OK;
}

QString MboxFolder::goneText(StoreMessageId id) const {
    if (!open_)
        return QStringLiteral("%1 is not open").arg(path_);
    return QStringLiteral("%1: message %2 is no longer in the file").arg(path_).arg(id + 1);
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
    return hr;
}

} // namespace parcelo
