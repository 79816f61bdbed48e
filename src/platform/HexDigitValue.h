// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace parcelo {

// The value of an ASCII hex digit of either case; -1 for any other byte or for -1 (no byte).
constexpr int HexDigitValue(int c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace parcelo
