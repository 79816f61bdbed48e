// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace parcelo {

// Element values: '<', '&' and '>' become entities.
QString EscapeXmlText(const QString& text);
// Attribute values: as element values, and the apostrophe and quotation mark too.
QString EscapeXmlAttribute(const QString& text);
// The five named entities (lower case only) and numeric references of up to eight characters;
// any other '&', and a reference to 0, stay as written.
QString DecodeXmlEntities(const QString& text);

} // namespace parcelo
