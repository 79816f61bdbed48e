// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "mailtext/HeaderFieldScanner.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace parcelo {

// One header field: its name as in the source, its decoded value (folding kept) and the
// charset the field codec encodes that value with when the field is stored. A field loaded from
// a source keeps the source's bytes and is stored with them until it is changed, so that a
// message reads exactly as its source did; only fields set or changed here are encoded.
class CMimeHeaderField {
public:
    CMimeHeaderField() = default;
    CMimeHeaderField(std::string name, std::string value, std::string charset = {})
        : m_name(std::move(name)), m_value(std::move(value)), m_charset(std::move(charset)) {}

    const std::string& GetName() const { return m_name; }
    const std::string& GetValue() const {
        Decode();
        return m_value;
    }
    const std::string& GetCharset() const {
        Decode();
        return m_charset;
    }
    void SetName(std::string name) {
        Decode();
        m_name = std::move(name);
        m_source.clear();
    }
    void SetValue(std::string value) {
        Decode();
        m_value = std::move(value);
        m_source.clear();
    }
    void SetCharset(std::string charset) {
        Decode();
        m_charset = std::move(charset);
        m_source.clear();
    }
    // The field's bytes as loaded (name to the closing line end); empty once the field changed
    // or when it was not loaded. A line of the header that names no field has no name and is
    // stored as it stood.
    const std::string& GetSource() const { return m_source; }

    // A field kept for look-ups but left out of the stored form.
    bool IsOmittedOnStore() const { return m_omitOnStore; }
    void SetOmittedOnStore(bool omit) { m_omitOnStore = omit; }

    // Offset and length of the parameter's value inside the value, quotes included.
    bool FindParameter(std::string_view attribute, std::size_t& offset, std::size_t& length) const;
    std::string GetParameter(std::string_view attribute) const;
    void SetParameter(std::string_view attribute, std::string_view value);

    std::size_t GetLength() const;
    // Appends the source's bytes, or name, ": ", the encoded value and CR LF; returns the bytes
    // appended.
    std::ptrdiff_t Store(std::string& out) const;
    // Reads one field; returns the bytes consumed, or 0 at the blank line, at a line that is no
    // field, at data that holds no complete field, or at the end.
    std::ptrdiff_t Load(const char* data, std::size_t size);
    // Takes the field the header scanner found in data. One that the data ends in gets the line
    // end it lacks, or the LF after its last CR.
    void Load(std::string_view data, const HeaderFieldSpan& span);

private:
    // A loaded field's value is decoded from its source when it is first asked for: most
    // fields are only stored again, as they were.
    void Decode() const;

    std::string m_name;
    mutable std::string m_value;
    mutable std::string m_charset;
    std::string m_source;
    // The undecoded value inside m_source, while it is not decoded yet.
    mutable bool m_pending = false;
    std::size_t m_valueOffset = 0;
    std::size_t m_valueLength = 0;
    bool m_omitOnStore = false;
};

} // namespace parcelo
