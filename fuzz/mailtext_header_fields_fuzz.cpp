// SPDX-License-Identifier: GPL-3.0-or-later
// Splits arbitrary bytes into header fields. Every byte up to the body must belong to exactly
// one field or to the empty line that ends the header, in order; names must be printable ASCII
// without the colon, and a value must lie inside its field.
#include "mailtext/HeaderFieldScanner.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

void Check(bool ok) {
    if (!ok)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    parcelo::HeaderFieldScanner scanner(text);
    parcelo::HeaderFieldSpan span;
    std::size_t at = 0;
    while (scanner.next(span)) {
        Check(span.begin == at && span.begin < span.end && span.end <= size);
        Check(span.begin <= span.nameEnd && span.nameEnd <= span.valueBegin);
        Check(span.valueBegin <= span.valueEnd && span.valueEnd <= span.end);
        for (std::size_t i = span.begin; i < span.nameEnd; ++i)
            Check(text[i] > ' ' && text[i] < 0x7F && text[i] != ':');
        // Only the last line of the text may lack its line end.
        Check(span.hasLineEnd() ? text[span.end - 1] == '\n' : span.end == size);
        at = span.end;
    }
    Check(!scanner.next(span));
    const std::size_t body = scanner.bodyBegin();
    if (scanner.endedByEmptyLine()) {
        const std::string_view empty = text.substr(at, body - at);
        Check(empty == "\n" || empty == "\r\n");
    } else {
        Check(body == at);
    }
    return 0;
}
