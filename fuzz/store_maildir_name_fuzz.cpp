// Parses arbitrary bytes as a Maildir file name. The parts must give the name back, and a
// name with a flag added must read back with that flag and the same unique part, so that
// marking a message read never renames it into a different message.
#include "store/maildir/MaildirFileName.h"

#include <QString>
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
    const QString name = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto parsed = parcelo::MaildirFileName::parse(name);
    Check(parsed.unique + parsed.separator + parsed.flags == name);
    Check(parsed.separator.isEmpty() || parsed.separator == QLatin1String(":2,") ||
          parsed.separator == QLatin1String("!2,") || parsed.separator == QLatin1String(";2,"));
    Check(!parsed.separator.isEmpty() || parsed.flags.isEmpty());
    for (QChar flag : {QChar(u'S'), QChar(u'T'), QChar(u'F')}) {
        const QString marked = parsed.withFlag(flag);
        const auto again = parcelo::MaildirFileName::parse(marked);
        Check(again.unique == parsed.unique);
        Check(again.hasFlag(flag));
        for (QChar kept : parsed.flags)
            Check(again.hasFlag(kept));
        Check(again.withFlag(flag) == marked);
    }
    return 0;
}
