// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/maildir/MaildirFileName.h"

#include <QList>
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
    // Sorted by code point: sorting UTF-16 units would split a character beyond the basic
    // plane into lone surrogates, and the renamed file's name into broken bytes.
    QList<uint> newFlags = flags.toUcs4();
    if (!newFlags.contains(flag.unicode()))
        newFlags.append(flag.unicode());
    std::sort(newFlags.begin(), newFlags.end());
    return unique + (separator.isEmpty() ? QStringLiteral(":2,") : separator) +
           QString::fromUcs4(reinterpret_cast<const char32_t*>(newFlags.constData()),
                             newFlags.size());
}

} // namespace parcelo
