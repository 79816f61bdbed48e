// SPDX-License-Identifier: GPL-3.0-or-later
#include "mime/CMimeCodeQP.h"

#include "mime/MimeChar.h"
#include "platform/HexDigitValue.h"

namespace parcelo {

namespace {

const char kHex[] = "0123456789ABCDEF";

} // namespace

std::size_t CMimeCodeQP::EncodedLengthOf(std::string_view input) {
    std::size_t b = input.size();
    for (unsigned char c : input) {
        if (!mimechar::IsAlnum(c))
            b += 2;
    }
    return b + (b / 74) * 6;
}

std::size_t CMimeCodeQP::EncodedLength() const {
    return EncodedLengthOf(m_input);
}

std::size_t CMimeCodeQP::Encode(std::string& out) {
    const std::size_t start = out.size();
    const std::string_view in = m_input;
    const std::size_t npos = std::string::npos;
    long n = 0;             // length of the current output line
    std::size_t s = npos;   // output position of the last space that may take a soft break
    std::size_t sWidth = 0; // its width: 1 literal, 3 encoded
    for (std::size_t i = 0; i < in.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(in[i]);
        bool encoded;
        bool isSpace = false;
        if (c == ' ' || c == '\t') {
            encoded = i + 1 == in.size() || in[i + 1] == '\r';
            isSpace = true;
        } else if (c == '\r' || c == '\n') {
            encoded = false;
            n = -1;
            s = npos;
        } else if (c == '.') {
            encoded = i >= 2 && in[i - 2] == '\r' && in[i - 1] == '\n' && i + 2 < in.size() &&
                      in[i + 1] == '\r' && in[i + 2] == '\n';
        } else {
            encoded = !(c >= '!' && c <= '~' && c != '=');
        }
        const long w = encoded ? 3 : 1;
        const std::size_t pos = out.size();
        if (isSpace && n > 0) {
            s = pos;
            sWidth = w;
        }
        if (n + w >= 76) {
            // Break after the whole space (an encoded one is three bytes) so no escape is split.
            if (s != npos && s < pos) {
                const std::size_t at = s + sWidth;
                out.insert(at, "=\r\n");
                n = static_cast<long>(out.size() - (at + 3));
            } else {
                out.append("=\r\n");
                n = 0;
            }
            s = npos;
        }
        if (encoded) {
            out.push_back('=');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 0x0F]);
            n += 3;
        } else {
            out.push_back(static_cast<char>(c));
            n += 1;
        }
    }
    return out.size() - start;
}

// An "=" that starts neither an escape (two hex digits, either case, as RFC 2045 asks readers
// to accept) nor a soft break is kept as it stands, so that no byte of the content is lost.
std::size_t CMimeCodeQP::DecodeBytes(std::string_view in, std::string& out) {
    const std::size_t start = out.size();
    for (std::size_t i = 0; i < in.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(in[i]);
        if (c != '=') {
            out.push_back(static_cast<char>(c));
            continue;
        }
        if (i + 2 >= in.size())
            break;
        const unsigned char a = static_cast<unsigned char>(in[i + 1]);
        const unsigned char b = static_cast<unsigned char>(in[i + 2]);
        if (HexDigitValue(a) >= 0 && HexDigitValue(b) >= 0) {
            out.push_back(static_cast<char>((HexDigitValue(a) << 4) | HexDigitValue(b)));
            i += 2;
        } else if (a == '\r' && b == '\n') {
            i += 2;
        } else {
            out.push_back('=');
        }
    }
    return out.size() - start;
}

std::size_t CMimeCodeQP::Decode(std::string& out) {
    return DecodeBytes(m_input, out);
}

} // namespace parcelo
