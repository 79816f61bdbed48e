// SPDX-License-Identifier: GPL-3.0-or-later
#include "mime/MimeCoderRegistry.h"

#include "mime/CFieldCodeAddress.h"
#include "mime/CFieldCodeParameter.h"
#include "mime/CFieldCodeText.h"
#include "mime/CMimeCodeBase64.h"
#include "mime/CMimeCodeQP.h"
#include "mime/MimeString.h"

namespace parcelo {

std::unique_ptr<CMimeCodeBase> CreateTransferCoder(std::string_view encoding) {
    if (EqualsNoCase(encoding, "quoted-printable"))
        return std::make_unique<CMimeCodeQP>();
    if (EqualsNoCase(encoding, "base64"))
        return std::make_unique<CMimeCodeBase64>(true);
    return std::make_unique<CMimeCodeBase>();
}

namespace {

int TransferCoderKind(std::string_view encoding) {
    if (EqualsNoCase(encoding, "quoted-printable"))
        return 1;
    if (EqualsNoCase(encoding, "base64"))
        return 2;
    return 0;
}

} // namespace

bool SameTransferCoder(std::string_view a, std::string_view b) {
    return TransferCoderKind(a) == TransferCoderKind(b);
}

namespace {

enum class FieldKind { Plain, Text, Address, Parameter };

FieldKind FieldKindOf(std::string_view name) {
    for (const char* text : {"Subject", "Comments", "Content-Description"}) {
        if (EqualsNoCase(name, text))
            return FieldKind::Text;
    }
    for (const char* address : {"From", "To", "Resent-To", "Cc", "Resent-Cc", "Bcc", "Resent-Bcc",
                                "Reply-To", "Resent-Reply-To"}) {
        if (EqualsNoCase(name, address))
            return FieldKind::Address;
    }
    if (EqualsNoCase(name, "Content-Type") || EqualsNoCase(name, "Content-Disposition"))
        return FieldKind::Parameter;
    return FieldKind::Plain;
}

} // namespace

std::unique_ptr<CFieldCodeBase> CreateFieldCoder(std::string_view name) {
    switch (FieldKindOf(name)) {
    case FieldKind::Text:
        return std::make_unique<CFieldCodeText>();
    case FieldKind::Address:
        return std::make_unique<CFieldCodeAddress>();
    case FieldKind::Parameter:
        return std::make_unique<CFieldCodeParameter>();
    case FieldKind::Plain:
        break;
    }
    return std::make_unique<CFieldCodeBase>();
}

FieldCoder::FieldCoder(std::string_view fieldName) {
    switch (FieldKindOf(fieldName)) {
    case FieldKind::Text:
        coder_.emplace<CFieldCodeText>();
        break;
    case FieldKind::Address:
        coder_.emplace<CFieldCodeAddress>();
        break;
    case FieldKind::Parameter:
        coder_.emplace<CFieldCodeParameter>();
        break;
    case FieldKind::Plain:
        break;
    }
}

} // namespace parcelo
