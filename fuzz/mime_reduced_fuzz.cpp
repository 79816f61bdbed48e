// SPDX-License-Identifier: GPL-3.0-or-later
// Reduces arbitrary bytes, as they are and as the message file the export writes for them,
// under a header and attachment choice taken from the first byte. What stays must be the
// input's own bytes in their order, all of them when both choices are "All" and all of the body
// when attachments are "All"; reducing what came out again must change nothing.
#include "mime/MessageConversion.h"
#include "mime/MimeEntitySpan.h"
#include "mime/ReducedMessage.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

bool IsSubsequence(const std::string& part, const std::string& whole) {
    std::size_t at = 0;
    for (const char c : part) {
        at = whole.find(c, at);
        if (at == std::string::npos)
            return false;
        ++at;
    }
    return true;
}

void Check(const std::string& input, const parcelo::MessageSelection& selection) {
    std::string reduced = input;
    parcelo::ReduceMessageFile(reduced, selection);
    if (!IsSubsequence(reduced, input))
        std::abort();
    if (selection.keepsWholeMessage() && reduced != input)
        std::abort();
    if (selection.attachmentsMode == 2) {
        const std::string body = input.substr(parcelo::MapMimeEntities(input).bodyBegin);
        if (reduced.size() < body.size() ||
            reduced.compare(reduced.size() - body.size(), body.size(), body) != 0)
            std::abort();
    }
    std::string again = reduced;
    parcelo::ReduceMessageFile(again, selection);
    if (again != reduced)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const parcelo::MessageSelection selection{data[0] % 3,
                                              {QStringLiteral("Subject"), QStringLiteral("from")},
                                              data[0] / 3 % 3,
                                              {QStringLiteral("a.pdf"), QStringLiteral("s.eml")}};
    const std::string input(reinterpret_cast<const char*>(data + 1), size - 1);
    Check(input, selection);
    std::string file;
    if (parcelo::MessageFileBytes(*parcelo::ParseMessageSource(input), file))
        Check(file, selection);
    return 0;
}
