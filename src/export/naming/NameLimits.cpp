// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/naming/NameLimits.h"

namespace parcelo {

namespace {

qsizetype utf8Length(char32_t c) {
    if (c < 0x80)
        return 1;
    if (c < 0x800)
        return 2;
    if (c < 0x10000)
        return 3;
    return 4;
}

} // namespace

char32_t CodePointAt(const QString& text, qsizetype i, qsizetype* units) {
    if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
        *units = 2;
        return QChar::surrogateToUcs4(text.at(i), text.at(i + 1));
    }
    *units = 1;
    return text.at(i).unicode();
}

QString CutToUtf8Bytes(const QString& text, qsizetype maxBytes) {
    // No UTF-16 unit takes more than three bytes: most names fit without being measured.
    if (text.size() * 3 <= maxBytes)
        return text;
    qsizetype bytes = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        qsizetype units = 1;
        // A lone surrogate is written as the replacement character, three bytes like itself.
        const qsizetype size = utf8Length(CodePointAt(text, i, &units));
        if (bytes + size > maxBytes)
            break;
        bytes += size;
        i += units;
    }
    return text.left(i);
}

} // namespace parcelo
