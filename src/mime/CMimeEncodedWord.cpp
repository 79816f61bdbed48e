// SPDX-License-Identifier: GPL-3.0-or-later
#include "mime/CMimeEncodedWord.h"

#include "mailtext/EncodedWords.h"
#include "mime/CMimeCodeBase64.h"
#include "mime/CMimeCodeQP.h"
#include "mime/MimeString.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>

namespace parcelo {

namespace {

const char kHex[] = "0123456789ABCDEF";

// Room for the encoded text of one word. A charset name so long that no text would fit still
// gets room for one base64 group or one escaped byte, so every word carries data.
std::size_t WordRoom(std::size_t charsetLength) {
    return charsetLength + 4 < 68 ? 68 - charsetLength : 4;
}

// Lengths of the characters of a text in a charset, so that no encoded word ends inside a
// multi-byte character (RFC 2047 section 5). UTF-8 is measured directly, other charsets through
// iconv; a charset iconv does not know counts one byte a character.
class CharacterMeasure {
public:
    explicit CharacterMeasure(const std::string& charset)
        : m_utf8(EqualsNoCase(charset, "utf-8") || EqualsNoCase(charset, "utf8")) {
        if (!m_utf8)
            m_cd = iconv_open("UTF-8", charset.c_str());
    }
    ~CharacterMeasure() {
        if (m_cd != kNone)
            iconv_close(m_cd);
    }
    CharacterMeasure(const CharacterMeasure&) = delete;
    CharacterMeasure& operator=(const CharacterMeasure&) = delete;

    std::size_t LengthAt(std::string_view text, std::size_t pos) {
        const std::size_t left = text.size() - pos;
        if (m_utf8) {
            const unsigned char c = static_cast<unsigned char>(text[pos]);
            std::size_t n = c >= 0xF0 && c < 0xF8 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
            std::size_t i = 1;
            while (i < n && i < left && (static_cast<unsigned char>(text[pos + i]) & 0xC0) == 0x80)
                ++i;
            return i;
        }
        if (m_cd == kNone)
            return 1;
        for (std::size_t n = 1; n <= 4 && n <= left; ++n) {
            iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
            char* in = const_cast<char*>(text.data() + pos);
            std::size_t inLeft = n;
            char buffer[32];
            char* out = buffer;
            std::size_t outLeft = sizeof buffer;
            if (iconv(m_cd, &in, &inLeft, &out, &outLeft) != static_cast<std::size_t>(-1))
                return n;
            if (errno != EINVAL)
                return 1;
        }
        return 1;
    }

private:
    static inline const iconv_t kNone = reinterpret_cast<iconv_t>(-1);
    bool m_utf8;
    iconv_t m_cd = kNone;
};

bool IsQLiteral(unsigned char c, bool phrase) {
    // In a phrase or comment only letters, digits and "!*+-/" may stand as themselves.
    if (phrase)
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
               c == '!' || c == '*' || c == '+' || c == '-' || c == '/';
    return c >= '!' && c <= '~' && c != '=' && c != '?' && c != '_';
}

bool IsB(char letter) {
    return letter == 'B' || letter == 'b';
}

} // namespace

std::size_t CMimeEncodedWord::EncodedLengthOf(std::string_view input, std::size_t L, char letter) {
    if (L == 0)
        return input.size();
    if (input.empty())
        return 0;
    const std::size_t c =
        IsB(letter) ? ((input.size() + 2) / 3) * 4 : CMimeCodeQP::EncodedLengthOf(input);
    // Words end at character boundaries, so one may carry up to 11 bytes less than its room.
    const std::size_t per = L < 55 ? 56 - L : 1;
    return c + (L + 11) * (c / per + 1);
}

std::size_t CMimeEncodedWord::EncodedLength() const {
    return EncodedLengthOf(m_input, m_charset.size(), m_letter);
}

std::size_t CMimeEncodedWord::Encode(std::string& out) {
    const std::size_t start = out.size();
    if (m_charset.empty()) {
        out.append(m_input);
        return m_input.size();
    }
    if (m_input.empty())
        return 0;
    const std::size_t room = WordRoom(m_charset.size());
    CharacterMeasure measure(m_charset);
    const std::string_view in = m_input;
    if (IsB(m_letter)) {
        const std::size_t chunk = (room / 4) * 3;
        std::size_t i = 0;
        while (i < in.size()) {
            // Whole characters up to the chunk size; a single longer character still goes out.
            std::size_t end = i + measure.LengthAt(in, i);
            while (end < in.size()) {
                const std::size_t next = end + measure.LengthAt(in, end);
                if (next - i > chunk)
                    break;
                end = next;
            }
            if (i > 0)
                out.push_back(' ');
            out.append("=?").append(m_charset).append("?B?");
            CMimeCodeBase64::EncodeBytes(in.substr(i, end - i), false, out);
            out.append("?=");
            i = end;
        }
        return out.size() - start;
    }
    out.append("=?").append(m_charset).append("?Q?");
    std::size_t used = 0;
    std::size_t i = 0;
    while (i < in.size()) {
        const std::size_t end = i + measure.LengthAt(in, i);
        std::size_t width = 0;
        for (std::size_t k = i; k < end; ++k)
            width += IsQLiteral(static_cast<unsigned char>(in[k]), m_phrase) ? 1 : 3;
        if (used > 0 && used + width > room) {
            out.append("?= =?").append(m_charset).append("?Q?");
            used = 0;
        }
        for (; i < end; ++i) {
            const unsigned char c = static_cast<unsigned char>(in[i]);
            if (IsQLiteral(c, m_phrase)) {
                out.push_back(static_cast<char>(c));
            } else {
                out.push_back('=');
                out.push_back(kHex[c >> 4]);
                out.push_back(kHex[c & 0x0F]);
            }
        }
        used += width;
    }
    out.append("?=");
    return out.size() - start;
}

std::size_t CMimeEncodedWord::Decode(std::string& out) {
    const std::size_t start = out.size();
    // A value without encoded words keeps its bytes exactly; one with them becomes UTF-8.
    if (m_input.find("=?") == std::string_view::npos) {
        m_charset.clear();
        out.append(m_input);
        return out.size() - start;
    }
    const DecodedHeaderText decoded = DecodeHeaderText(m_input, m_quoteSpecials);
    if (decoded.hadEncodedWords) {
        m_charset = "utf-8";
        out.append(decoded.utf8);
    } else {
        m_charset.clear();
        out.append(m_input);
    }
    return out.size() - start;
}

} // namespace parcelo
