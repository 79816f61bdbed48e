// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/manifest/SourceFingerprint.h"

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

// The field name of a header line, or empty when the line is no field ("From " envelope
// lines, garbage). White space before the colon is the obsolete syntax, still a field.
std::string_view FieldName(std::string_view line) {
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

} // namespace

bool IsStoreStateField(std::string_view name) {
    // The mail client's status, flags and tags; the Status and X-Status of mbox readers and
    // servers; a server's keywords and its UID bookkeeping (X-IMAPbase moves to whichever
    // message is first in the mailbox).
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

SourceFingerprint FingerprintMessageSource(std::string_view source, Sha256& hash) {
    size_t kept = 0; // start of the bytes not hashed yet that are kept
    size_t pos = 0;
    bool dropping = false;
    while (pos < source.size()) {
        size_t end = source.find('\n', pos);
        end = end == std::string_view::npos ? source.size() : end + 1;
        const std::string_view line = source.substr(pos, end - pos);
        if (line == "\r\n" || line == "\n")
            break; // the header ends
        const bool continued = line.front() == ' ' || line.front() == '\t';
        if (!continued) {
            const bool drop = IsStoreStateField(FieldName(line));
            if (drop && !dropping)
                hash.add(source.substr(kept, pos - kept));
            else if (!drop && dropping)
                kept = pos;
            dropping = drop;
        }
        pos = end;
    }
    if (dropping)
        kept = pos;
    hash.add(source.substr(kept));
    return hash.finish();
}

} // namespace parcelo
