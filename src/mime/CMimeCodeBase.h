// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace parcelo {

// A transfer or field codec for one operation. The base class is the identity codec.
// Output is appended to a growable string; Encode and Decode return the bytes appended.
class CMimeCodeBase {
public:
    virtual ~CMimeCodeBase() = default;

    void SetInput(std::string_view input, bool encoding) {
        m_input = input;
        m_encoding = encoding;
    }
    std::string_view GetInput() const { return m_input; }
    bool IsEncoding() const { return m_encoding; }

    // Upper bounds of the output sizes, for callers that size a buffer first.
    virtual std::size_t EncodedLength() const { return m_input.size(); }
    virtual std::size_t DecodedLength() const { return m_input.size(); }
    virtual std::size_t Encode(std::string& out);
    virtual std::size_t Decode(std::string& out);

protected:
    std::string_view m_input;
    bool m_encoding = true;
};

} // namespace parcelo
