// SPDX-License-Identifier: GPL-3.0-or-later
// Parses arbitrary bytes as a message and as a message source, stores the result and loads
// it again; the size estimate must hold and the stored form must load.
#include "mime/MessageConversion.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);

    parcelo::CMimeMessage message;
    message.Load(input);
    std::string stored;
    if (message.Store(stored) > 0 && stored.size() > message.GetLength())
        std::abort();
    parcelo::CMimeMessage again;
    again.Load(stored);

    const auto parsed = parcelo::ParseMessageSource(input);
    std::string file;
    if (parcelo::MessageFileBytes(*parsed, file) && file.size() - 4 > parsed->GetLength())
        std::abort();
    parcelo::ExtractHeaderValues(*parsed);
    return 0;
}
