#include "mime/CMimeEncodedWord.h"

#include "mime/CMimeCodeBase64.h"
#include "mime/CMimeCodeQP.h"

#include <algorithm>

namespace parcelo {

namespace {

const char kHex[] = "0123456789ABCDEF";

// Room for the encoded text of one word. A charset name so long that no text would fit still
// gets room for one base64 group or one escaped byte, so every word carries data.
std::size_t WordRoom(std::size_t charsetLength) {
    return charsetLength + 4 < 68 ? 68 - charsetLength : 4;
}

bool IsB(char letter) { return letter == 'B' || letter == 'b'; }
bool IsQ(char letter) { return letter == 'Q' || letter == 'q'; }

} // namespace

std::size_t CMimeEncodedWord::EncodedLengthOf(std::string_view input, std::size_t L,
                                              char letter) {
    if (L == 0)
        return input.size();
    if (input.empty())
        return 0;
    const std::size_t c =
        IsB(letter) ? ((input.size() + 2) / 3) * 4 : CMimeCodeQP::EncodedLengthOf(input);
    const std::size_t per = L < 63 ? 64 - L : 1;
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
    if (IsB(m_letter)) {
        const std::size_t chunk = (room / 4) * 3;
        for (std::size_t i = 0; i < m_input.size(); i += chunk) {
            if (i > 0)
                out.push_back(' ');
            out.append("=?").append(m_charset).append("?B?");
            CMimeCodeBase64::EncodeBytes(m_input.substr(i, chunk), false, out);
            out.append("?=");
        }
        return out.size() - start;
    }
    out.append("=?").append(m_charset).append("?Q?");
    std::size_t used = 0;
    for (unsigned char c : m_input) {
        const bool literal = c >= '!' && c <= '~' && c != '=' && c != '?' && c != '_';
        const std::size_t w = literal ? 1 : 3;
        if (used + w > room) {
            out.append("?= =?").append(m_charset).append("?Q?");
            used = 0;
        }
        if (literal) {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back('=');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 0x0F]);
        }
        used += w;
    }
    out.append("?=");
    return out.size() - start;
}

std::size_t CMimeEncodedWord::Decode(std::string& out) {
    const std::size_t start = out.size();
    const std::string_view v = m_input;
    const std::size_t npos = std::string_view::npos;
    m_charset.clear();
    std::size_t pos = 0;
    while (pos < v.size()) {
        if (v.compare(pos, 2, "=?") == 0) {
            const std::size_t q1 = v.find('?', pos + 2);
            // A word needs a charset, a letter between two "?" and text after them.
            if (q1 != npos && q1 > pos + 2 && q1 + 2 < v.size() && v[q1 + 2] == '?' &&
                q1 + 3 < v.size()) {
                const char letter = v[q1 + 1];
                if (IsB(letter) || IsQ(letter)) {
                    const std::size_t textStart = q1 + 3;
                    std::size_t textEnd = v.find("?=", textStart);
                    std::size_t next = textEnd == npos ? v.size() : textEnd + 2;
                    if (textEnd == npos)
                        textEnd = v.size();
                    if (m_charset.empty())
                        m_charset = std::string(v.substr(pos + 2, q1 - (pos + 2)));
                    const std::string_view text = v.substr(textStart, textEnd - textStart);
                    if (IsB(letter)) {
                        CMimeCodeBase64::DecodeBytes(text, out);
                    } else {
                        std::string spaced(text);
                        std::replace(spaced.begin(), spaced.end(), '_', ' ');
                        CMimeCodeQP::DecodeBytes(spaced, out);
                    }
                    pos = next;
                    continue;
                }
            }
        }
        std::size_t runEnd = v.find("=?", pos + 1);
        if (runEnd == npos)
            runEnd = v.size();
        const std::string_view run = v.substr(pos, runEnd - pos);
        const bool onlySpace =
            runEnd < v.size() && run.find_first_not_of(" \t\r\n\v\f") == npos;
        if (pos == 0 || !onlySpace)
            out.append(run);
        pos = runEnd;
    }
    return out.size() - start;
}

} // namespace parcelo
