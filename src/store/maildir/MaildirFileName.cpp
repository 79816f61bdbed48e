#include "store/maildir/MaildirFileName.h"

#include <algorithm>

namespace parcelo {

MaildirFileName MaildirFileName::parse(const QString& name) {
    MaildirFileName result;
    qsizetype at = -1;
    for (const char* separator : {":2,", "!2,", ";2,"})
        at = std::max(at, name.lastIndexOf(QLatin1String(separator)));
    if (at < 0) {
        result.unique = name;
        return result;
    }
    result.unique = name.left(at);
    result.separator = name.mid(at, 3);
    result.flags = name.mid(at + 3);
    return result;
}

QString MaildirFileName::withFlag(QChar flag) const {
    QString newFlags = flags;
    if (!newFlags.contains(flag))
        newFlags.append(flag);
    std::sort(newFlags.begin(), newFlags.end());
    return unique + (separator.isEmpty() ? QStringLiteral(":2,") : separator) + newFlags;
}

} // namespace parcelo
