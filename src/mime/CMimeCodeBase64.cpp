// SPDX-License-Identifier: GPL-3.0-or-later
#include "mime/CMimeCodeBase64.h"

#include <array>

namespace parcelo {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<signed char, 256> MakeDecodeTable() {
    std::array<signed char, 256> table{};
    for (auto& v : table)
        v = -1;
    for (int i = 0; i < 64; ++i)
        table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<signed char>(i);
    return table;
}

constexpr std::array<signed char, 256> kDecode = MakeDecodeTable();

} // namespace

std::size_t CMimeCodeBase64::EncodedLength() const {
    const std::size_t e = ((m_input.size() + 2) / 3) * 4;
    return m_lineBreaks ? e + (e / 76) * 2 + 2 : e;
}

std::size_t CMimeCodeBase64::EncodeBytes(std::string_view in, bool lineBreaks, std::string& out) {
    const std::size_t start = out.size();
    const auto* p = reinterpret_cast<const unsigned char*>(in.data());
    const std::size_t size = in.size();
    out.reserve(start + ((size + 2) / 3) * 4 * 78 / 76 + 2);
    int column = 0;
    auto put = [&](char c) {
        out.push_back(c);
        if (lineBreaks && ++column == 76) {
            out.append("\r\n");
            column = 0;
        }
    };
    std::size_t i = 0;
    for (; i + 3 <= size; i += 3) {
        const unsigned v = (p[i] << 16) | (p[i + 1] << 8) | p[i + 2];
        put(kAlphabet[(v >> 18) & 63]);
        put(kAlphabet[(v >> 12) & 63]);
        put(kAlphabet[(v >> 6) & 63]);
        put(kAlphabet[v & 63]);
    }
    if (i < size) {
        const unsigned v = (p[i] << 16) | (i + 1 < size ? p[i + 1] << 8 : 0);
        put(kAlphabet[(v >> 18) & 63]);
        put(kAlphabet[(v >> 12) & 63]);
        put(i + 1 < size ? kAlphabet[(v >> 6) & 63] : '=');
        put('=');
    }
    if (lineBreaks && column > 0)
        out.append("\r\n");
    return out.size() - start;
}

// Bytes outside the alphabet (line breaks, spaces, anything a transport added) are skipped;
// "=" is the padding and ends the data.
std::size_t CMimeCodeBase64::DecodeBytes(std::string_view in, std::string& out) {
    const std::size_t start = out.size();
    out.reserve(start + in.size() * 3 / 4 + 2);
    unsigned v = 0;
    int count = 0;
    for (unsigned char c : in) {
        if (c == '=')
            break;
        const int d = kDecode[c];
        if (d < 0)
            continue;
        v = (v << 6) | static_cast<unsigned>(d);
        if (++count == 4) {
            out.push_back(static_cast<char>((v >> 16) & 0xFF));
            out.push_back(static_cast<char>((v >> 8) & 0xFF));
            out.push_back(static_cast<char>(v & 0xFF));
            v = 0;
            count = 0;
        }
    }
    if (count == 2) {
        out.push_back(static_cast<char>((v >> 4) & 0xFF));
    } else if (count == 3) {
        out.push_back(static_cast<char>((v >> 10) & 0xFF));
        out.push_back(static_cast<char>((v >> 2) & 0xFF));
    }
    return out.size() - start;
}

std::size_t CMimeCodeBase64::Encode(std::string& out) {
    return EncodeBytes(m_input, m_lineBreaks, out);
}

std::size_t CMimeCodeBase64::Decode(std::string& out) {
    return DecodeBytes(m_input, out);
}

} // namespace parcelo
