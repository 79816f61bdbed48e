// SPDX-License-Identifier: GPL-3.0-or-later
// Parses arbitrary bytes as a Maildir file name, decoded as the store decodes the names it
// lists (bytes that are not UTF-8 become U+FFFD). The parts must give the name back, and a
// name with a flag added must read back with that flag, the same unique part and separator
// and every flag it had, in code point order, as text that survives a round trip through
// UTF-8: marking a message read must never rename it into a different message or into a name
// of broken bytes. Adding a flag twice changes nothing.
#include "store/maildir/MaildirFileName.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void Check(bool ok) {
    if (!ok)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString name = QString::fromUtf8(bytes);
    const auto parsed = parcelo::MaildirFileName::parse(name);
    Check(parsed.unique + parsed.separator + parsed.flags == name);
    Check(parsed.separator.isEmpty() || parsed.separator == QLatin1String(":2,") ||
          parsed.separator == QLatin1String("!2,") || parsed.separator == QLatin1String(";2,"));
    Check(!parsed.separator.isEmpty() || parsed.flags.isEmpty());
    const QList<uint> flags = parsed.flags.toUcs4();
    for (QChar flag : {QChar(u'S'), QChar(u'T'), QChar(u'F')}) {
        const QString marked = parsed.withFlag(flag);
        Check(QString::fromUtf8(marked.toUtf8()) == marked);
        const auto again = parcelo::MaildirFileName::parse(marked);
        Check(again.unique == parsed.unique);
        Check(again.separator ==
              (parsed.separator.isEmpty() ? QStringLiteral(":2,") : parsed.separator));
        Check(again.hasFlag(flag));
        const QList<uint> markedFlags = again.flags.toUcs4();
        Check(std::is_sorted(markedFlags.begin(), markedFlags.end()));
        Check(markedFlags.size() == flags.size() + (flags.contains(flag.unicode()) ? 0 : 1));
        for (uint kept : flags)
            Check(markedFlags.count(kept) == flags.count(kept));
        Check(again.withFlag(flag) == marked);
    }
    return 0;
}
