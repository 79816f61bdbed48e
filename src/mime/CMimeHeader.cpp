// SPDX-License-Identifier: GPL-3.0-or-later
#include "mime/CMimeHeader.h"

#include "mime/MimeChar.h"
#include "mime/MimeString.h"

#include <algorithm>
#include <cstring>

namespace parcelo {

using mimechar::IsSpaceOrTab;

CMimeHeaderField* CMimeHeader::FindField(std::string_view name) {
    for (auto& field : m_fields) {
        if (EqualsNoCase(field.GetName(), name))
            return &field;
    }
    return nullptr;
}

const CMimeHeaderField* CMimeHeader::FindField(std::string_view name) const {
    return const_cast<CMimeHeader*>(this)->FindField(name);
}

std::string CMimeHeader::GetFieldValue(std::string_view name) const {
    const CMimeHeaderField* field = FindField(name);
    return field ? field->GetValue() : std::string();
}

std::string CMimeHeader::GetRawFieldValue(std::string_view name) const {
    const CMimeHeaderField* field = FindField(name);
    if (!field)
        return {};
    const std::string& source = field->GetSource();
    const std::size_t colon = source.find(':');
    if (colon == std::string::npos)
        return field->GetValue();
    return source.substr(colon + 1);
}

void CMimeHeader::SetField(std::string_view name, std::string_view value,
                           std::string_view charset) {
    if (CMimeHeaderField* field = FindField(name)) {
        field->SetName(std::string(name));
        field->SetValue(std::string(value));
        field->SetCharset(std::string(charset));
        return;
    }
    m_fields.emplace_back(std::string(name), std::string(value), std::string(charset));
}

std::string CMimeHeader::GetParameter(std::string_view fieldName,
                                      std::string_view attribute) const {
    const CMimeHeaderField* field = FindField(fieldName);
    return field ? field->GetParameter(attribute) : std::string();
}

std::string CMimeHeader::GetMainType() const {
    const CMimeHeaderField* field = FindField("Content-Type");
    if (!field)
        return "text";
    const std::string& value = field->GetValue();
    return value.substr(0, value.find('/'));
}

void CMimeHeader::Clear() {
    m_fields.clear();
    m_endsWithoutEmptyLine = false;
}

std::size_t CMimeHeader::FieldsLength() const {
    std::size_t total = 2;
    for (const auto& field : m_fields) {
        if (!field.IsOmittedOnStore())
            total += field.GetLength();
    }
    return total;
}

std::ptrdiff_t CMimeHeader::StoreFields(std::string& out) const {
    const std::size_t start = out.size();
    for (const auto& field : m_fields) {
        if (field.IsOmittedOnStore())
            continue;
        const std::ptrdiff_t n = field.Store(out);
        if (n <= 0) {
            out.resize(start);
            return n;
        }
    }
    if (!m_endsWithoutEmptyLine)
        out.append("\r\n");
    return static_cast<std::ptrdiff_t>(out.size() - start);
}

std::ptrdiff_t CMimeHeader::LoadFields(const char* data, std::size_t size) {
    const std::string_view d(data, size);
    HeaderFieldScanner scanner(d);
    HeaderFieldSpan span;
    // Room for most headers at once rather than growing through 1, 2, 4 and 8.
    m_fields.reserve(m_fields.size() + std::min<std::size_t>(16, size / 32 + 1));
    while (scanner.next(span)) {
        // A stray line that starts with white space before the first field is dropped.
        if (!span.hasName() && IsSpaceOrTab(static_cast<unsigned char>(d[span.begin])))
            continue;
        m_fields.emplace_back();
        m_fields.back().Load(d, span);
    }
    // A header that runs to the end of the data ends past it: there is no body.
    if (!scanner.endedByEmptyLine() && scanner.bodyBegin() == size)
        return static_cast<std::ptrdiff_t>(size + 2);
    m_endsWithoutEmptyLine = !scanner.endedByEmptyLine();
    return static_cast<std::ptrdiff_t>(scanner.bodyBegin());
}

std::size_t CMimeHeader::GetLength() const {
    return FieldsLength();
}

std::ptrdiff_t CMimeHeader::Store(std::string& out) const {
    return StoreFields(out);
}

std::ptrdiff_t CMimeHeader::Load(const char* data, std::size_t size) {
    return LoadFields(data, size);
}

std::ptrdiff_t CMimeHeader::Store(char* buffer, std::size_t size) const {
    std::string out;
    const std::ptrdiff_t n = Store(out);
    if (n <= 0)
        return n;
    if (out.size() > size)
        return 0;
    std::memcpy(buffer, out.data(), out.size());
    return n;
}

std::string CMimeHeader::StoreToString() const {
    std::string out;
    out.reserve(GetLength());
    if (Store(out) <= 0)
        return {};
    return out;
}

} // namespace parcelo
