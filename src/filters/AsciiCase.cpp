// SPDX-License-Identifier: GPL-3.0-or-later
#include "filters/AsciiCase.h"

namespace parcelo {

namespace {

char16_t foldAscii(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
}

} // namespace

QString AsciiLower(const QString& text) {
    QString result = text;
    for (QChar& c : result)
        c = QChar(foldAscii(c.unicode()));
    return result;
}

bool EqualsIgnoringAsciiCase(const QString& a, const QString& b) {
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (foldAscii(a[i].unicode()) != foldAscii(b[i].unicode()))
            return false;
    }
    return true;
}

} // namespace parcelo
