// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/header/EncodedWords.h"

#include "platform/charset/EncodedWords.h"

namespace parcelo {

QByteArray DecodeEncodedWords(const QByteArray& text) {
    const DecodedHeaderText decoded =
        DecodeHeaderText(std::string_view(text.constData(), static_cast<std::size_t>(text.size())));
    return QByteArray(decoded.utf8.data(), static_cast<qsizetype>(decoded.utf8.size()));
}

} // namespace parcelo
