// Reads arbitrary bytes as a mail folder index. Reading twice must give the same entries, every
// entry with an offset must be found at it (first in table order when several share it), an
// offset taken from the key must equal the key, and an aborted group put in after the header
// line must change nothing.
#include "store/mork/MailFolderIndex.h"

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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    parcelo::MailFolderIndex index;
    QString error;
    const bool loaded = index.load(input, &error);
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
