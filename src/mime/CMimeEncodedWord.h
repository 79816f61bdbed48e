// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "mime/CMimeCodeBase.h"

namespace parcelo {

// RFC 2047 encoded words. Decoding walks a whole field value with the shared header decoder:
// a value with encoded words comes out as UTF-8 and the charset becomes "utf-8", a value
// without any keeps its bytes and an empty charset. Encoding writes the input as words of the
// given charset and letter.
class CMimeEncodedWord : public CMimeCodeBase {
public:
    void SetCharset(std::string charset) { m_charset = std::move(charset); }
    const std::string& GetCharset() const { return m_charset; }
    void SetEncoding(char letter) { m_letter = letter; }
    char GetEncoding() const { return m_letter; }
    // For address lists: decoded text that holds address syntax (a comma, a quote, "@" and
    // the like) is written as a quoted string unless it already stands inside one, so that a
    // display name such as "Doe, John" stays one name.
    void SetQuoteSpecials(bool quote) { m_quoteSpecials = quote; }
    // Encoding a phrase (a display name) or a comment: Q words escape every special there.
    void SetPhrase(bool phrase) { m_phrase = phrase; }

    std::size_t EncodedLength() const override;
    std::size_t DecodedLength() const override { return m_input.size(); }
    std::size_t Encode(std::string& out) override;
    std::size_t Decode(std::string& out) override;

    static std::size_t EncodedLengthOf(std::string_view input, std::size_t charsetLength,
                                       char letter);

private:
    std::string m_charset;
    char m_letter = 'B';
    bool m_quoteSpecials = false;
    bool m_phrase = false;
};

} // namespace parcelo
