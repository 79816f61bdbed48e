// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "mime/CMimeCodeBase.h"

namespace parcelo {

// Base64 (RFC 2045 section 6.8). With line breaks every 76 characters for content,
// without them inside encoded words.
class CMimeCodeBase64 : public CMimeCodeBase {
public:
    explicit CMimeCodeBase64(bool lineBreaks = true) : m_lineBreaks(lineBreaks) {}

    bool HasLineBreaks() const { return m_lineBreaks; }

    std::size_t EncodedLength() const override;
    std::size_t DecodedLength() const override { return m_input.size() * 3 / 4 + 2; }
    std::size_t Encode(std::string& out) override;
    std::size_t Decode(std::string& out) override;

    static std::size_t EncodeBytes(std::string_view input, bool lineBreaks, std::string& out);
    static std::size_t DecodeBytes(std::string_view input, std::string& out);

private:
    bool m_lineBreaks;
};

} // namespace parcelo
