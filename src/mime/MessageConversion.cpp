// SPDX-License-Identifier: GPL-3.0-or-later
#include "mime/MessageConversion.h"

#include "mime/MimeString.h"
#include "platform/charset/CharsetConversion.h"

#include <vector>

namespace parcelo {

std::unique_ptr<CMimeMessage> ParseMessageSource(const std::string& source) {
    auto message = std::make_unique<CMimeMessage>();
    message->SetField("MIME-Version", "1.0");
    message->SetCharset(QStringLiteral("utf-8"));
    message->Load(source.data(), source.size());
    auto& fields = message->Fields();
    for (std::size_t leading = 0; leading < 2 && leading < fields.size(); ++leading) {
        for (std::size_t i = 2; i < fields.size(); ++i) {
            if (EqualsNoCase(fields[i].GetName(), fields[leading].GetName())) {
                fields[leading].SetOmittedOnStore(true);
                break;
            }
        }
    }
    return message;
}

bool MessageFileBytes(const CMimeMessage& message, std::string& bytes) {
    // Room for the closing line ends up front: growing a huge message's bytes would copy them.
    bytes.clear();
    bytes.reserve(message.GetLength() + 4);
    if (message.Store(bytes) <= 0) {
        bytes.clear();
        return false;
    }
    bytes.append("\r\n\r\n");
    return true;
}

QString FieldValueToText(const std::string& value, const std::string& charset) {
    if (charset.empty() && IsValidUtf8(value))
        return QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size()));
    std::string utf8;
    if (charset.empty() || !ConvertToUtf8(charset, value, utf8))
        utf8 = RawTextToUtf8(value);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

HeaderValues ExtractHeaderValues(const CMimeMessage& message) {
    HeaderValues values;
    std::vector<const CMimeBody*> leaves;
    message.CollectLeafParts(leaves);
    for (const CMimeBody* leaf : leaves) {
        for (const auto& field : leaf->Fields()) {
            const std::string& name = field.GetName();
            QString* target = nullptr;
            if (EqualsNoCase(name, "From"))
                target = &values.From;
            else if (EqualsNoCase(name, "Date"))
                target = &values.Date;
            else if (EqualsNoCase(name, "To"))
                target = &values.To;
            else if (EqualsNoCase(name, "CC"))
                target = &values.CC;
            else if (EqualsNoCase(name, "BCC"))
                target = &values.BCC;
            if (target)
                *target = FieldValueToText(field.GetValue(), field.GetCharset());
        }
    }
    return values;
}

} // namespace parcelo
