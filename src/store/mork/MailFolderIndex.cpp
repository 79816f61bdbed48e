#include "store/mork/MailFolderIndex.h"

#include "store/mork/MorkParser.h"

#include <QFile>
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
    MorkDocument doc;
    if (!MorkParser::parse(bytes, &doc, error))
        return false;
    const MorkToken scope = doc.token("ns:msg:db:row:scope:msgs:all");
    const MorkTable* table = scope ? doc.table({scope, kMessagesTableId}) : nullptr;
    if (!table) {
        if (error)
            *error = QStringLiteral("not a mail folder index (it has no message table)");
        return false;
    }
    const MorkToken flagsColumn = doc.token("flags");
    const MorkToken keywordsColumn = doc.token("keywords");
    const MorkToken messageIdColumn = doc.token("message-id");
    const MorkToken storeTokenColumn = doc.token("storeToken");
    const MorkToken msgOffsetColumn = doc.token("msgOffset");
    entries_.reserve(table->rows.size());
    for (const MorkOid& oid : table->rows) {
        const MorkRow* row = doc.row(oid);
        MailFolderIndexEntry entry;
        entry.messageKey = oid.id;
        const auto text = [row](MorkToken column) {
            const QByteArray* value = column ? row->value(column) : nullptr;
            return value ? *value : QByteArray();
        };
        entry.flags = quint32(LeadingHex(text(flagsColumn), 8));
        entry.keywords = text(keywordsColumn);
        entry.messageId = text(messageIdColumn);
        const QByteArray storeToken = text(storeTokenColumn);
        const QByteArray msgOffset = text(msgOffsetColumn);
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
        if (entry.offset >= 0 && !byOffset_.contains(entry.offset))
            byOffset_.insert(entry.offset, qsizetype(entries_.size()));
        entries_.push_back(std::move(entry));
    }
    return true;
}

const MailFolderIndexEntry* MailFolderIndex::findAt(qint64 offset) const {
    const auto it = byOffset_.constFind(offset);
    return it == byOffset_.constEnd() ? nullptr : &entries_[size_t(it.value())];
}

bool ReadMailFolderIndex(const QString& indexPath, MailFolderIndex* index, QString* error) {
    QFile file(indexPath);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("cannot open %1: %2").arg(indexPath, file.errorString());
        return false;
    }
    if (file.size() > kMaxIndexSize) {
        if (error)
            *error = QStringLiteral("%1 is too big for a folder index").arg(indexPath);
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (error)
            *error = QStringLiteral("cannot read %1: %2").arg(indexPath, file.errorString());
        return false;
    }
    QString reason;
    if (!index->load(bytes, &reason)) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(indexPath, reason);
        return false;
    }
    return true;
}

} // namespace parcelo
