// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "mime/CMimeHeaderField.h"

#include <string>
#include <string_view>
#include <vector>

namespace parcelo {

// The header fields of a message or part, in source order. Duplicates are kept; every
// look-up takes the first field of a name (names compared ASCII case-insensitively).
class CMimeHeader {
public:
    virtual ~CMimeHeader() = default;

    const std::vector<CMimeHeaderField>& Fields() const { return m_fields; }
    std::vector<CMimeHeaderField>& Fields() { return m_fields; }

    CMimeHeaderField* FindField(std::string_view name);
    const CMimeHeaderField* FindField(std::string_view name) const;
    // The value of the first field of that name, empty when there is none.
    std::string GetFieldValue(std::string_view name) const;
    // The same value as its bytes stand in the header (folding kept, nothing decoded).
    std::string GetRawFieldValue(std::string_view name) const;
    void SetField(std::string_view name, std::string_view value, std::string_view charset = {});
    std::string GetParameter(std::string_view fieldName, std::string_view attribute) const;
    std::string GetMainType() const;

    virtual void Clear();
    // An upper bound of what Store appends.
    virtual std::size_t GetLength() const;
    // Appends the stored form; returns the bytes appended, 0 or less on failure.
    virtual std::ptrdiff_t Store(std::string& out) const;
    // Parses from data; returns the bytes consumed, 0 or less on failure.
    virtual std::ptrdiff_t Load(const char* data, std::size_t size);

    // Stores into a caller's buffer: the bytes written, or 0 (nothing written) when they do not
    // fit, or the failure of Store.
    std::ptrdiff_t Store(char* buffer, std::size_t size) const;
    // The stored form as a string; empty on failure.
    std::string StoreToString() const;
    std::ptrdiff_t Load(std::string_view data) { return Load(data.data(), data.size()); }

protected:
    // Reads the fields and the blank line after them; the header length or a failure.
    std::ptrdiff_t LoadFields(const char* data, std::size_t size);
    std::size_t FieldsLength() const;
    std::ptrdiff_t StoreFields(std::string& out) const;

private:
    std::vector<CMimeHeaderField> m_fields;
    // The loaded header ended at a line that is no field, not at an empty line: the stored
    // form adds none either, so that what followed stays the body.
    bool m_endsWithoutEmptyLine = false;
};

} // namespace parcelo
