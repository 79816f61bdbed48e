#include "export/NameLimits.h"

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

QString CutToUtf8Bytes(const QString& text, qsizetype maxBytes) {
    qsizetype bytes = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        char32_t c = text.at(i).unicode();
        qsizetype units = 1;
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() &&
            text.at(i + 1).isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text.at(i), text.at(i + 1));
            units = 2;
        } else if (text.at(i).isSurrogate()) {
            c = 0xFFFD; // a lone surrogate is written as the replacement character
        }
        const qsizetype size = utf8Length(c);
        if (bytes + size > maxBytes)
            break;
        bytes += size;
        i += units;
    }
    return text.left(i);
}

} // namespace parcelo
