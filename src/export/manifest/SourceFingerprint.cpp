// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/manifest/SourceFingerprint.h"

#include "store/StoreStateField.h"

namespace parcelo {

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
            const bool drop = IsStoreStateField(HeaderFieldName(line));
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
