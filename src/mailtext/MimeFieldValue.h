// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace parcelo {

// A Content-Type or Content-Disposition value read as RFC 2045 and RFC 2183 write it: a token
// ("text/plain", "attachment") and parameters. Parameter values come out as UTF-8: RFC 2231
// pieces (name*0*=utf-8''a%C3%BC; name*1=b) joined and decoded from their charset, quoted
// strings unquoted, and encoded words in them decoded, as mail programs write names so too.
class MimeFieldValue {
public:
    MimeFieldValue() = default;
    explicit MimeFieldValue(std::string_view raw);

    // Lower case, without comments and white space; empty when the value has none.
    const std::string& token() const { return token_; }
    // The parameter of that name (any case) as text, empty when there is none.
    std::string parameter(std::string_view name) const;
    // The parameter's bytes as they stand, only unquoted (for a boundary, which is compared
    // byte for byte); empty for one given only in RFC 2231 pieces.
    std::string rawParameter(std::string_view name) const;

private:
    std::string token_;
    // Names lower case.
    std::map<std::string, std::string, std::less<>> parameters_;
    std::map<std::string, std::string, std::less<>> raw_;
};

} // namespace parcelo
