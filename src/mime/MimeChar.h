// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace parcelo::mimechar {

inline bool IsWhitespace(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

inline bool IsSpecial(unsigned char c) {
    switch (c) {
    case '(':
    case ')':
    case '<':
    case '>':
    case '@':
    case ',':
    case ';':
    case ':':
    case '\\':
    case '"':
    case '.':
    case '[':
    case ']':
    case '/':
    case '?':
    case '=':
        return true;
    default:
        return false;
    }
}

inline bool IsAlnum(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

// Upper case only: quoted-printable writes upper-case digits and reads them so.
inline bool IsHexDigit(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

inline bool IsSpaceOrTab(unsigned char c) {
    return c == ' ' || c == '\t';
}

inline char ToLowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

} // namespace parcelo::mimechar
