// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/StoreStateField.h"

#include <array>

namespace parcelo {

namespace {

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) {
            return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

} // namespace

std::string_view HeaderFieldName(std::string_view line) {
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0)
        return {};
    std::string_view name = line.substr(0, colon);
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t'))
        name.remove_suffix(1);
    for (const char c : name) {
        if (static_cast<unsigned char>(c) <= ' ' || static_cast<unsigned char>(c) > '~')
            return {};
    }
    return name;
}

bool IsStoreStateField(std::string_view name) {
    // X-IMAPbase moves to whichever message is first in the mailbox.
    static constexpr std::array<std::string_view, 9> kNames = {
        "X-Mozilla-Status", "X-Mozilla-Status2", "X-Mozilla-Keys", "Status",
        "X-Status",         "X-Keywords",        "X-UID",          "X-IMAP",
        "X-IMAPbase"};
    for (const std::string_view known : kNames) {
        if (EqualsNoCase(name, known))
            return true;
    }
    return false;
}

} // namespace parcelo
