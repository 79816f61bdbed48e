#include "store/header/EncodedWords.h"

#include "store/header/CharsetConversion.h"

#include <optional>

namespace parcelo {

namespace {

struct EncodedWord {
    qsizetype begin = 0;
    qsizetype end = 0; // one past the closing "?="
    QByteArray charset;
    QByteArray bytes; // decoded, still in the charset
};

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

QByteArray DecodeQ(const QByteArray& text) {
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '_') {
            out.append(' ');
        } else if (c == '=' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
                   HexValue(text[i + 2]) >= 0) {
            out.append(char(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2])));
            i += 2;
        } else {
            out.append(c);
        }
    }
    return out;
}

std::optional<QByteArray> DecodeB(QByteArray text) {
    text = text.trimmed();
    const auto result = QByteArray::fromBase64Encoding(
        text, QByteArray::Base64Encoding | QByteArray::AbortOnBase64DecodingErrors);
    if (result.decodingStatus != QByteArray::Base64DecodingStatus::Ok) {
        // Tolerate a missing padding, as many writers do.
        const QByteArray loose = QByteArray::fromBase64(text);
        if (loose.isEmpty() && !text.isEmpty())
            return std::nullopt;
        return loose;
    }
    return result.decoded;
}

// Finds the next encoded word at or after from: =?charset?X?text?=
std::optional<EncodedWord> NextWord(const QByteArray& text, qsizetype from) {
    for (qsizetype start = text.indexOf("=?", from); start >= 0;
         start = text.indexOf("=?", start + 1)) {
        const qsizetype q1 = text.indexOf('?', start + 2);
        if (q1 < 0 || q1 + 2 >= text.size() || text[q1 + 2] != '?')
            return std::nullopt;
        const char encoding = text[q1 + 1];
        const qsizetype q3 = text.indexOf("?=", q1 + 3);
        if (q3 < 0)
            return std::nullopt;
        EncodedWord word;
        word.begin = start;
        word.end = q3 + 2;
        word.charset = text.mid(start + 2, q1 - start - 2);
        if (word.charset.isEmpty() || word.charset.contains(' '))
            continue;
        const QByteArray payload = text.mid(q1 + 3, q3 - q1 - 3);
        if (payload.contains(' '))
            continue;
        if (encoding == 'Q' || encoding == 'q') {
            word.bytes = DecodeQ(payload);
        } else if (encoding == 'B' || encoding == 'b') {
            const auto decoded = DecodeB(payload);
            if (!decoded)
                continue;
            word.bytes = *decoded;
        } else {
            continue;
        }
        return word;
    }
    return std::nullopt;
}

bool IsBlank(const QByteArray& text, qsizetype from, qsizetype to) {
    for (qsizetype i = from; i < to; ++i)
        if (text[i] != ' ' && text[i] != '\t' && text[i] != '\r' && text[i] != '\n')
            return false;
    return true;
}

} // namespace

QByteArray DecodeEncodedWords(const QByteArray& text) {
    QByteArray out;
    qsizetype pos = 0;
    while (pos < text.size()) {
        auto word = NextWord(text, pos);
        if (!word) {
            out.append(RawTextToUtf8(text.mid(pos)));
            break;
        }
        out.append(RawTextToUtf8(text.mid(pos, word->begin - pos)));

        // Join adjacent words of one charset before converting, so that a character split
        // across two words comes out whole.
        QByteArray charset = word->charset;
        QByteArray bytes = word->bytes;
        qsizetype end = word->end;
        auto flush = [&]() {
            QByteArray utf8;
            if (ConvertToUtf8(charset, bytes, &utf8))
                out.append(utf8);
            else
                out.append(RawTextToUtf8(text.mid(word->begin, end - word->begin)));
        };
        for (;;) {
            auto next = NextWord(text, end);
            if (!next || !IsBlank(text, end, next->begin))
                break;
            if (next->charset.compare(charset, Qt::CaseInsensitive) != 0) {
                flush();
                word = next;
                charset = next->charset;
                bytes = next->bytes;
            } else {
                bytes.append(next->bytes);
            }
            end = next->end;
        }
        flush();
        pos = end;
    }
    return out;
}

} // namespace parcelo
