// SPDX-License-Identifier: GPL-3.0-or-later
#include "mailtext/EncodedWords.h"

#include "platform/HexDigitValue.h"
#include "platform/charset/CharsetConversion.h"

#include <optional>

namespace parcelo {

namespace {

constexpr std::size_t npos = std::string_view::npos;

struct EncodedWord {
    std::size_t begin = 0;
    std::size_t end = 0; // one past the closing "?="
    std::string_view charset;
    std::string bytes; // decoded, still in the charset
};

int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

void DecodeQ(std::string_view text, std::string& out) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '_') {
            out.push_back(' ');
        } else if (c == '=' && i + 2 < text.size() && HexDigitValue(text[i + 1]) >= 0 &&
                   HexDigitValue(text[i + 2]) >= 0) {
            out.push_back(
                static_cast<char>(HexDigitValue(text[i + 1]) * 16 + HexDigitValue(text[i + 2])));
            i += 2;
        } else {
            out.push_back(c);
        }
    }
}

// Lenient: padding may be missing, bytes outside the alphabet are skipped, "=" ends the data.
void DecodeB(std::string_view text, std::string& out) {
    unsigned bits = 0;
    int count = 0;
    for (char c : text) {
        if (c == '=')
            break;
        const int v = Base64Value(c);
        if (v < 0)
            continue;
        bits = (bits << 6) | static_cast<unsigned>(v);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out.push_back(static_cast<char>((bits >> count) & 0xFF));
        }
    }
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The encoded word =?charset?X?text?= that starts exactly at pos, if one does.
std::optional<EncodedWord> WordAt(std::string_view v, std::size_t pos) {
    if (v.compare(pos, 2, "=?") != 0)
        return std::nullopt;
    const std::size_t q1 = v.find('?', pos + 2);
    if (q1 == npos || q1 == pos + 2 || q1 + 2 >= v.size() || v[q1 + 2] != '?')
        return std::nullopt;
    const std::string_view charset = v.substr(pos + 2, q1 - pos - 2);
    for (char c : charset) {
        if (IsBlank(c) || c == '=')
            return std::nullopt;
    }
    const char letter = v[q1 + 1];
    const bool q = letter == 'Q' || letter == 'q';
    if (!q && letter != 'B' && letter != 'b')
        return std::nullopt;
    const std::size_t close = v.find("?=", q1 + 3);
    if (close == npos)
        return std::nullopt;
    const std::string_view text = v.substr(q1 + 3, close - q1 - 3);
    // A word never spans a line break.
    if (text.find_first_of("\r\n") != npos)
        return std::nullopt;
    EncodedWord word;
    word.begin = pos;
    word.end = close + 2;
    word.charset = charset;
    if (q)
        DecodeQ(text, word.bytes);
    else
        DecodeB(text, word.bytes);
    return word;
}

bool SameCharset(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

class Decoder {
public:
    Decoder(std::string_view value, bool keepAddressSyntax)
        : m_value(value), m_keepAddressSyntax(keepAddressSyntax) {}

    DecodedHeaderText Run() {
        std::size_t pos = 0;
        while (pos < m_value.size()) {
            if (auto word = WordAt(m_value, pos)) {
                AddWord(*word);
                pos = word->end;
                continue;
            }
            std::size_t runEnd = m_value.find("=?", pos + 1);
            if (runEnd == npos)
                runEnd = m_value.size();
            const std::string_view run = m_value.substr(pos, runEnd - pos);
            const bool blank = run.find_first_not_of(" \t\r\n") == npos;
            // White space between two encoded words is not part of the text.
            if (!(m_pending && blank && WordAt(m_value, runEnd)))
                AddPlain(run);
            pos = runEnd;
        }
        Flush();
        return std::move(m_result);
    }

private:
    void AddWord(EncodedWord& word) {
        if (m_pending && SameCharset(m_pending->charset, word.charset)) {
            m_pending->bytes.append(word.bytes);
            m_pending->end = word.end;
            return;
        }
        Flush();
        m_pending = std::move(word);
    }

    void AddPlain(std::string_view run) {
        Flush();
        for (std::size_t i = 0; i < run.size(); ++i) {
            if (run[i] == '\\')
                ++i;
            else if (run[i] == '"')
                m_insideQuotes = !m_insideQuotes;
        }
        if (IsValidUtf8(run))
            m_result.utf8.append(run);
        else
            m_result.utf8.append(RawTextToUtf8(run));
    }

    void Flush() {
        if (!m_pending)
            return;
        std::string text;
        if (ConvertToUtf8(m_pending->charset, m_pending->bytes, text)) {
            m_result.hadEncodedWords = true;
            AppendDecoded(text);
        } else {
            m_result.utf8.append(
                RawTextToUtf8(m_value.substr(m_pending->begin, m_pending->end - m_pending->begin)));
        }
        m_pending.reset();
    }

    void AppendDecoded(const std::string& text) {
        std::string& out = m_result.utf8;
        if (!m_keepAddressSyntax) {
            out.append(text);
            return;
        }
        const bool quote =
            !m_insideQuotes && text.find_first_of("()<>[]:;@\\,.\"") != std::string::npos;
        if (!quote && !m_insideQuotes) {
            out.append(text);
            return;
        }
        if (quote)
            out.push_back('"');
        for (char c : text) {
            if (c == '"' || c == '\\')
                out.push_back('\\');
            out.push_back(c);
        }
        if (quote)
            out.push_back('"');
    }

    std::string_view m_value;
    bool m_keepAddressSyntax;
    bool m_insideQuotes = false;
    std::optional<EncodedWord> m_pending;
    DecodedHeaderText m_result;
};

} // namespace

DecodedHeaderText DecodeHeaderText(std::string_view value, bool keepAddressSyntax) {
    if (value.find("=?") == npos)
        return {RawTextToUtf8(value), false};
    return Decoder(value, keepAddressSyntax).Run();
}

QByteArray DecodeEncodedWords(const QByteArray& text) {
    const std::string_view value(text.constData(), static_cast<std::size_t>(text.size()));
    if (!text.isEmpty() && value.find("=?") == npos && IsValidUtf8(value))
        return text; // nothing to decode or convert
    const DecodedHeaderText decoded = DecodeHeaderText(value);
    return QByteArray(decoded.utf8.data(), static_cast<qsizetype>(decoded.utf8.size()));
}

} // namespace parcelo
