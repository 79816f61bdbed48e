// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "mime/CMimeCodeBase.h"

namespace parcelo {

// Quoted-printable content (RFC 2045 section 6.7): lines of at most 76 bytes, soft breaks
// placed after the last space where possible.
class CMimeCodeQP : public CMimeCodeBase {
public:
    std::size_t EncodedLength() const override;
    std::size_t DecodedLength() const override { return m_input.size(); }
    std::size_t Encode(std::string& out) override;
    std::size_t Decode(std::string& out) override;

    static std::size_t EncodedLengthOf(std::string_view input);
    static std::size_t DecodeBytes(std::string_view input, std::string& out);
};

} // namespace parcelo
