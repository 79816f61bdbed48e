// SPDX-License-Identifier: GPL-3.0-or-later
// Reads arbitrary bytes as a mail folder index. Reading twice must give the same entries, every
// entry with an offset must be found at it (first in table order when several share it), an
// offset taken from the key must equal the key, and an aborted group put in after the header
// line must change nothing. The index keeps only a few columns while it reads: its entries must
// be the message table of the whole document.
#include "store/mork/MailFolderIndex.h"
#include "store/mork/MorkParser.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>

namespace {

void Check(bool ok) {
    if (!ok)
        std::abort();
}

bool Same(const parcelo::MailFolderIndexEntry& a, const parcelo::MailFolderIndexEntry& b) {
    return a.messageKey == b.messageKey && a.offset == b.offset &&
           a.offsetFromKey == b.offsetFromKey && a.flags == b.flags && a.keywords == b.keywords &&
           a.messageId == b.messageId;
}

bool SameEntries(const parcelo::MailFolderIndex& a, const parcelo::MailFolderIndex& b) {
    if (a.entries().size() != b.entries().size())
        return false;
    for (size_t i = 0; i < a.entries().size(); ++i)
        if (!Same(a.entries()[i], b.entries()[i]))
            return false;
    return true;
}

// A document that fails only for holding more objects than its size allows may still give
// an index, which keeps fewer.
void CheckAgainstDocument(const QByteArray& input, const parcelo::MailFolderIndex& index,
                          bool loaded) {
    parcelo::MorkDocument doc;
    QString error;
    if (!parcelo::MorkParser::parse(input, &doc, &error)) {
        Check(!loaded || error.contains(QStringLiteral("more objects")));
        return;
    }
    const parcelo::MorkToken scope = doc.token("ns:msg:db:row:scope:msgs:all");
    const parcelo::MorkTable* table = scope ? doc.table({scope, 1}) : nullptr;
    Check(loaded == (table != nullptr));
    if (!table)
        return;
    Check(index.entries().size() == table->rows.size());
    const auto text = [&doc](const parcelo::MorkRow* row, const char* column) {
        const parcelo::MorkToken token = doc.token(column);
        const QByteArray* value = token ? row->value(token) : nullptr;
        return value ? *value : QByteArray();
    };
    for (size_t i = 0; i < table->rows.size(); ++i) {
        const parcelo::MorkRow* row = doc.row(table->rows[i]);
        const parcelo::MailFolderIndexEntry& entry = index.entries()[i];
        Check(row != nullptr && entry.messageKey == table->rows[i].id);
        Check(entry.messageId == text(row, "message-id") &&
              entry.keywords == text(row, "keywords"));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    parcelo::MailFolderIndex index;
    QString error;
    const bool loaded = index.load(input, &error);
    CheckAgainstDocument(input, index, loaded);
    if (!loaded) {
        Check(index.entries().empty() && !error.isEmpty());
        return 0;
    }
    parcelo::MailFolderIndex again;
    Check(again.load(input, nullptr) && SameEntries(index, again));

    std::set<qint64> seen;
    for (const parcelo::MailFolderIndexEntry& entry : index.entries()) {
        Check(!entry.offsetFromKey || entry.offset == qint64(entry.messageKey));
        if (entry.offset < 0)
            continue;
        const parcelo::MailFolderIndexEntry* found = index.findAt(entry.offset);
        Check(found != nullptr && found->offset == entry.offset);
        Check(seen.insert(entry.offset).second == (found == &entry));
    }
    Check(index.findAt(-1) == nullptr);

    qsizetype lineEnd = 0;
    while (lineEnd < input.size() && input[lineEnd] != '\n' && input[lineEnd] != '\r')
        ++lineEnd;
    if (lineEnd < input.size()) {
        QByteArray withAbort = input;
        withAbort.insert(lineEnd + 1, "@$${7{@\n<(90=x)>[1:^80(^88=ff)]{1:^80 -1 [2]}\n"
                                      "@$$}~~}@\n");
        parcelo::MailFolderIndex aborted;
        Check(aborted.load(withAbort, nullptr) && SameEntries(index, aborted));
    }
    return 0;
}
