#pragma once

#include "mime/CMimeCodeBase.h"

namespace parcelo {

// RFC 2047 encoded words. Decoding walks a whole field value and remembers the charset of
// its first encoded word; encoding writes the input as words of the given charset and letter.
class CMimeEncodedWord : public CMimeCodeBase {
public:
    void SetCharset(std::string charset) { m_charset = std::move(charset); }
    const std::string& GetCharset() const { return m_charset; }
    void SetEncoding(char letter) { m_letter = letter; }
    char GetEncoding() const { return m_letter; }

    std::size_t EncodedLength() const override;
    std::size_t DecodedLength() const override { return m_input.size(); }
    std::size_t Encode(std::string& out) override;
    std::size_t Decode(std::string& out) override;

    static std::size_t EncodedLengthOf(std::string_view input, std::size_t charsetLength,
                                       char letter);

private:
    std::string m_charset;
    char m_letter = 'B';
};

} // namespace parcelo
