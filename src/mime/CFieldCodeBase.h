// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "mime/CMimeCodeBase.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace parcelo {

// Measures one symbol of a field value starting at `start` and returns its length; the byte
// after it (when inside the value) is its delimiter. `closer` is the byte that ends a quoted
// string, comment or angle address in progress (0: none); `nonAscii` receives the number of
// bytes that need an encoded word: bytes of 0x80 and above and control bytes (DEL, and bytes below
// 0x20 other than tab and a CR LF followed by a space or tab, which is folding), and the bytes
// of an ISO-2022 escape sequence and of the two-byte run after "ESC $". Such bytes never end a
// symbol, so that no decoded line break, zero byte or ISO-2022-JP character (whose bytes may look
// like specials) is cut apart or reaches a header unencoded. Inside a quoted string a backslash
// and the byte after it never end one.
std::size_t ScanSymbol(std::string_view value, std::size_t start, unsigned char& closer,
                       std::size_t& nonAscii);

// Encodes and decodes whole header field values.
class CFieldCodeBase : public CMimeCodeBase {
public:
    void SetCharset(std::string charset) { m_charset = std::move(charset); }
    const std::string& GetCharset() const { return m_charset; }

    std::size_t EncodedLength() const override;
    std::size_t DecodedLength() const override { return m_input.size(); }
    std::size_t Encode(std::string& out) override;
    std::size_t Decode(std::string& out) override;

    virtual bool IsFoldingDelimiter(unsigned char) const { return false; }
    virtual unsigned char InitialCloser() const { return 0; }
    // Whether decoded text with address syntax in it is put in quotes (see CMimeEncodedWord).
    virtual bool QuotesDecodedSpecials() const { return false; }

private:
    struct Symbol {
        std::size_t length = 0;
        std::size_t nonAscii = 0;
    };
    Symbol NextSymbol(std::size_t start, unsigned char& closer) const;
    static char ChooseLetter(const Symbol& symbol);

    std::string m_charset;
};

} // namespace parcelo
