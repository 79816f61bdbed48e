// SPDX-License-Identifier: GPL-3.0-or-later
#include "mime/CFieldCodeBase.h"

#include "mime/CMimeEncodedWord.h"
#include "mime/MimeChar.h"

namespace parcelo {

namespace {

bool IsFoldAt(std::string_view v, std::size_t crAt) {
    return crAt + 2 < v.size() && v[crAt] == '\r' && v[crAt + 1] == '\n' &&
           mimechar::IsSpaceOrTab(static_cast<unsigned char>(v[crAt + 2]));
}

bool NeedsEncoding(std::string_view v, std::size_t i) {
    const unsigned char c = static_cast<unsigned char>(v[i]);
    if (c >= 0x80 || c == 0x7F)
        return true;
    if (c == '\r')
        return !IsFoldAt(v, i);
    if (c == '\n')
        return i == 0 || !IsFoldAt(v, i - 1);
    return c < 0x20 && c != '\t' && c != '\v' && c != '\f';
}

std::string Unescape(std::string_view text) {
    std::string plain;
    plain.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size())
            ++i;
        plain.push_back(text[i]);
    }
    return plain;
}

std::string Unfold(std::string text) {
    std::size_t at = 0;
    while ((at = text.find("\r\n", at)) != std::string::npos) {
        if (IsFoldAt(text, at))
            text.erase(at, 2);
        else
            at += 2;
    }
    return text;
}

} // namespace

std::size_t ScanSymbol(std::string_view v, std::size_t start, unsigned char& closer,
                       std::size_t& nonAscii) {
    nonAscii = 0;
    // Between ESC $ and ESC ( a stateful charset (ISO-2022-JP) carries two-byte characters in
    // ASCII bytes; "!<" there is a character, not a special.
    bool shifted = false;
    for (std::size_t i = start; i < v.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(v[i]);
        if (c == 0x1B) {
            // The escape sequence: intermediate bytes (0x20 to 0x2F) and one final byte.
            std::size_t j = i + 1;
            while (j < v.size() && v[j] >= 0x20 && v[j] <= 0x2F)
                ++j;
            if (j < v.size())
                ++j;
            shifted = i + 1 < v.size() && v[i + 1] == '$';
            nonAscii += j - i;
            i = j - 1;
            continue;
        }
        if (shifted || NeedsEncoding(v, i)) {
            ++nonAscii;
            continue;
        }
        if (closer == '"' && c == '\\') {
            ++i;
            if (i < v.size() && NeedsEncoding(v, i))
                ++nonAscii;
            continue;
        }
        if (c == closer) {
            closer = 0;
            return i - start;
        }
        if (closer == 0 && (mimechar::IsWhitespace(c) || mimechar::IsSpecial(c))) {
            if (c == '"')
                closer = '"';
            else if (c == '(')
                closer = ')';
            else if (c == '<')
                closer = '>';
            return i - start;
        }
    }
    return v.size() - start;
}

CFieldCodeBase::Symbol CFieldCodeBase::NextSymbol(std::size_t start, unsigned char& closer) const {
    const std::string_view v = m_input;
    Symbol symbol;
    symbol.length = ScanSymbol(v, start, closer, symbol.nonAscii);
    // Two words that both need encoding and stand apart only by white space become one
    // encoded run with that white space inside: readers drop white space between encoded words.
    while (symbol.nonAscii > 0 && closer == 0) {
        std::size_t next = start + symbol.length;
        if (next >= v.size() || !mimechar::IsWhitespace(static_cast<unsigned char>(v[next])))
            break;
        while (next < v.size() && mimechar::IsWhitespace(static_cast<unsigned char>(v[next])))
            ++next;
        if (next >= v.size())
            break;
        unsigned char nextCloser = 0;
        std::size_t nextNonAscii = 0;
        const std::size_t nextLength = ScanSymbol(v, next, nextCloser, nextNonAscii);
        if (nextNonAscii == 0)
            break;
        symbol.length = next + nextLength - start;
        symbol.nonAscii += nextNonAscii;
        closer = nextCloser;
    }
    return symbol;
}

char CFieldCodeBase::ChooseLetter(const Symbol& s) {
    const bool base64Shorter = s.length + 2 * s.nonAscii > ((s.length + 2) / 3) * 4;
    return base64Shorter && 5 * s.nonAscii > s.length ? 'B' : 'Q';
}

std::size_t CFieldCodeBase::EncodedLength() const {
    const std::string_view v = m_input;
    if (m_charset.empty())
        return v.size();
    std::size_t total = 0;
    unsigned char closer = InitialCloser();
    std::size_t pos = 0;
    while (pos < v.size()) {
        const Symbol symbol = NextSymbol(pos, closer);
        const std::string_view text = v.substr(pos, symbol.length);
        total += symbol.nonAscii > 0 ? CMimeEncodedWord::EncodedLengthOf(text, m_charset.size(),
                                                                         ChooseLetter(symbol))
                                     : symbol.length;
        pos += symbol.length;
        if (pos >= v.size())
            break;
        total += 1;
        const bool folding = IsFoldingDelimiter(static_cast<unsigned char>(v[pos]));
        ++pos;
        if (folding) {
            total += 3;
            while (pos < v.size() && mimechar::IsWhitespace(static_cast<unsigned char>(v[pos])))
                ++pos;
        }
    }
    return total;
}

std::size_t CFieldCodeBase::Encode(std::string& out) {
    const std::size_t start = out.size();
    const std::string_view v = m_input;
    if (m_charset.empty()) {
        out.append(v);
        return v.size();
    }
    unsigned char closer = InitialCloser();
    std::size_t pos = 0;
    while (pos < v.size()) {
        const bool insideQuotes = closer == '"';
        const bool inComment = closer == ')';
        const bool outside = closer == 0;
        const Symbol symbol = NextSymbol(pos, closer);
        const std::string_view text = v.substr(pos, symbol.length);
        // An encoded word may not stand inside a quoted string (RFC 2047 section 5): in an
        // address list the quoted name becomes a phrase of words, its quotes dropped.
        bool dropClosingQuote = false;
        if (symbol.nonAscii > 0) {
            const bool phrase = QuotesDecodedSpecials() && (insideQuotes || outside);
            if (insideQuotes && phrase && !out.empty() && out.back() == '"') {
                out.pop_back();
                dropClosingQuote = true;
            }
            // The words carry the text itself, so escapes of the quoted string come off, and so
            // do folding line breaks, which would otherwise become part of the text.
            const std::string unescaped = Unfold(insideQuotes ? Unescape(text) : std::string(text));
            CMimeEncodedWord word;
            word.SetCharset(m_charset);
            word.SetEncoding(ChooseLetter(symbol));
            word.SetPhrase(phrase || inComment || insideQuotes);
            word.SetInput(unescaped, true);
            word.Encode(out);
        } else {
            out.append(text);
        }
        pos += symbol.length;
        if (pos >= v.size())
            break;
        const unsigned char delimiter = static_cast<unsigned char>(v[pos]);
        if (!(dropClosingQuote && delimiter == '"'))
            out.push_back(static_cast<char>(delimiter));
        ++pos;
        if (IsFoldingDelimiter(delimiter)) {
            out.append("\r\n\t");
            while (pos < v.size() && mimechar::IsWhitespace(static_cast<unsigned char>(v[pos])))
                ++pos;
        }
    }
    return out.size() - start;
}

std::size_t CFieldCodeBase::Decode(std::string& out) {
    CMimeEncodedWord decoder;
    decoder.SetInput(m_input, false);
    decoder.SetQuoteSpecials(QuotesDecodedSpecials());
    const std::size_t n = decoder.Decode(out);
    m_charset = decoder.GetCharset();
    return n;
}

} // namespace parcelo
