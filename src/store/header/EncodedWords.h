// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

namespace parcelo {

// The header text with its RFC 2047 encoded words decoded, as UTF-8: the one header decoder the
// MIME model uses too (platform/charset/EncodedWords.h), for the store's byte arrays.
QByteArray DecodeEncodedWords(const QByteArray& text);

} // namespace parcelo
