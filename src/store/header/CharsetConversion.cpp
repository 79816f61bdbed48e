#include "store/header/CharsetConversion.h"

#include <QString>
#include <QStringDecoder>
#include <cerrno>
#include <iconv.h>

namespace parcelo {

namespace {

bool IsValidUtf8(const QByteArray& text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.constData());
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        const unsigned char c = p[i];
        int extra;
        char32_t min;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1;
            min = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
            min = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
            min = 0x10000;
        } else {
            return false;
        }
        char32_t value = c & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) {
            if (i + k >= n || (p[i + k] & 0xC0) != 0x80)
                return false;
            value = (value << 6) | (p[i + k] & 0x3F);
        }
        if (value < min || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

} // namespace

bool ConvertToUtf8(const QByteArray& charset, const QByteArray& text, QByteArray* utf8) {
    utf8->clear();
    QByteArray name = charset.trimmed();
    const int language = name.indexOf('*'); // RFC 2231 language suffix
    if (language >= 0)
        name.truncate(language);
    if (name.isEmpty())
        return false;
    iconv_t cd = iconv_open("UTF-8", name.constData());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;

    QByteArray out;
    char buffer[4096];
    char* in = const_cast<char*>(text.constData());
    size_t inLeft = static_cast<size_t>(text.size());
    bool flushed = false;
    while (!flushed) {
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        size_t rc;
        if (inLeft > 0) {
            rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        } else {
            rc = iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
            flushed = rc != static_cast<size_t>(-1) || errno != E2BIG;
        }
        out.append(buffer, outPtr - buffer);
        if (rc == static_cast<size_t>(-1) && (errno == EILSEQ || errno == EINVAL) && inLeft > 0) {
            out.append("\xEF\xBF\xBD");
            ++in;
            --inLeft;
        }
    }
    iconv_close(cd);
    // iconv passes some sequences that are no UTF-8 (past U+10FFFF, five-byte forms) when the
    // charset is UTF-8 itself: the text must be valid whatever the input.
    if (!IsValidUtf8(out))
        out = QString::fromUtf8(out).toUtf8();
    *utf8 = out;
    return true;
}

QByteArray RawTextToUtf8(const QByteArray& text) {
    if (IsValidUtf8(text))
        return text;
    QByteArray utf8;
    if (ConvertToUtf8("WINDOWS-1252", text, &utf8))
        return utf8;
    return QString::fromLatin1(text).toUtf8();
}

} // namespace parcelo
