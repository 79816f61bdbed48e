// SPDX-License-Identifier: GPL-3.0-or-later
// Decodes arbitrary bytes as a header text with RFC 2047 encoded words. The result is the
// store's text for names and subjects, so it must be valid UTF-8 whatever the input.
#include "mailtext/EncodedWords.h"

#include <QByteArray>
#include <QUtf8StringView>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const QByteArray decoded = parcelo::DecodeEncodedWords(input);
    if (!QUtf8StringView(decoded).isValidUtf8())
        std::abort();
    return 0;
}
