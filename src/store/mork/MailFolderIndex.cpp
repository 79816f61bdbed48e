// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/mork/MailFolderIndex.h"

#include "store/mork/MorkParser.h"

#include <QFile>
#include <algorithm>
#include <limits>

namespace parcelo {

namespace {

// Bigger than any index of a real folder; more is not read into memory.
constexpr qint64 kMaxIndexSize = qint64(1) << 30;
constexpr quint32 kMessagesTableId = 1;

// Leading hex digits, at most maxDigits of them, as the client reads its numeric columns.
quint64 LeadingHex(const QByteArray& text, int maxDigits) {
    quint64 value = 0;
    for (qsizetype i = 0; i < text.size() && i < maxDigits; ++i) {
        const char c = text[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            break;
        value = (value << 4) | quint64(digit);
    }
    return value;
}

qint64 DecimalOffset(const QByteArray& text) {
    bool ok = false;
    const qint64 value = text.toLongLong(&ok, 10);
    return ok && value >= 0 && text.front() != '+' ? value : -1;
}

} // namespace

bool MailFolderIndex::load(QByteArrayView bytes, QString* error) {
    entries_.clear();
    byOffset_.clear();
    enum Column { Flags, Keywords, MessageId, StoreToken, MsgOffset };
    MorkSelection messages("ns:msg:db:row:scope:msgs:all", kMessagesTableId,
                           {"flags", "keywords", "message-id", "storeToken", "msgOffset"});
    if (!MorkParser::parse(bytes, &messages, error))
        return false;
    if (!messages.hasTable()) {
        if (error)
            *error = QStringLiteral("not a mail folder index (it has no message table)");
        return false;
    }
    entries_.reserve(messages.tableRows().size());
    byOffset_.reserve(messages.tableRows().size());
    for (const quint32 row : messages.tableRows()) {
        MailFolderIndexEntry entry;
        entry.messageKey = messages.rowId(row);
        entry.flags = quint32(LeadingHex(messages.value(row, Flags), 8));
        entry.keywords = messages.value(row, Keywords);
        entry.messageId = messages.value(row, MessageId);
        const QByteArray storeToken = messages.value(row, StoreToken);
        const QByteArray msgOffset = messages.value(row, MsgOffset);
        const quint64 unset = std::numeric_limits<quint64>::max();
        const quint64 hexOffset = msgOffset.isEmpty() ? unset : LeadingHex(msgOffset, 16);
        if (!storeToken.isEmpty()) {
            entry.offset = DecimalOffset(storeToken);
        } else if (hexOffset != unset) {
            entry.offset =
                hexOffset <= quint64(std::numeric_limits<qint64>::max()) ? qint64(hexOffset) : -1;
        } else {
            entry.offset = entry.messageKey;
            entry.offsetFromKey = true;
        }
        if (entry.offset >= 0)
            byOffset_.emplace_back(entry.offset, quint32(entries_.size()));
        entries_.push_back(std::move(entry));
    }
    // The first entry in the table wins where several claim an offset.
    std::sort(byOffset_.begin(), byOffset_.end());
    byOffset_.erase(std::unique(byOffset_.begin(), byOffset_.end(),
                                [](const auto& a, const auto& b) { return a.first == b.first; }),
                    byOffset_.end());
    return true;
}

const MailFolderIndexEntry* MailFolderIndex::findAt(qint64 offset) const {
    const auto it = std::lower_bound(byOffset_.begin(), byOffset_.end(), offset,
                                     [](const auto& item, qint64 key) { return item.first < key; });
    return it == byOffset_.end() || it->first != offset ? nullptr : &entries_[it->second];
}

bool ReadMailFolderIndex(const QString& indexPath, MailFolderIndex* index, QString* error) {
    QFile file(indexPath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        if (error)
            *error = QStringLiteral("cannot open %1: %2").arg(indexPath, file.errorString());
        return false;
    }
    const qint64 size = file.size();
    if (size > kMaxIndexSize) {
        if (error)
            *error = QStringLiteral("%1 is too big for a folder index").arg(indexPath);
        return false;
    }
    // Read once into a buffer of the file's size: not mapped, as the client may cut the file
    // short while it is read.
    QByteArray bytes(size, Qt::Uninitialized);
    qint64 got = 0;
    while (got < size) {
        const qint64 n = file.read(bytes.data() + got, size - got);
        if (n < 0) {
            if (error)
                *error = QStringLiteral("cannot read %1: %2").arg(indexPath, file.errorString());
            return false;
        }
        if (n == 0)
            break;
        got += n;
    }
    bytes.truncate(got);
    QString reason;
    if (!index->load(bytes, &reason)) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(indexPath, reason);
        return false;
    }
    return true;
}

} // namespace parcelo
