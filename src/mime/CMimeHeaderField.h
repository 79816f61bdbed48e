#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace parcelo {

// One header field: its name as in the source, its decoded value (folding kept) and the
// charset of the first encoded word the value had, used again when the field is stored.
class CMimeHeaderField {
public:
    CMimeHeaderField() = default;
    CMimeHeaderField(std::string name, std::string value, std::string charset = {})
        : m_name(std::move(name)), m_value(std::move(value)), m_charset(std::move(charset)) {}

    const std::string& GetName() const { return m_name; }
    const std::string& GetValue() const { return m_value; }
    const std::string& GetCharset() const { return m_charset; }
    void SetName(std::string name) { m_name = std::move(name); }
    void SetValue(std::string value) { m_value = std::move(value); }
    void SetCharset(std::string charset) { m_charset = std::move(charset); }

    // A field kept for look-ups but left out of the stored form.
    bool IsOmittedOnStore() const { return m_omitOnStore; }
    void SetOmittedOnStore(bool omit) { m_omitOnStore = omit; }

    // Offset and length of the parameter's value inside the value, quotes included.
    bool FindParameter(std::string_view attribute, std::size_t& offset, std::size_t& length) const;
    std::string GetParameter(std::string_view attribute) const;
    void SetParameter(std::string_view attribute, std::string_view value);

    std::size_t GetLength() const;
    // Appends name, ": ", the encoded value and CR LF; returns the bytes appended.
    std::ptrdiff_t Store(std::string& out) const;
    // Reads one field; returns the bytes consumed, or 0 at the blank line, at data that holds
    // no complete field, or at the end.
    std::ptrdiff_t Load(const char* data, std::size_t size);

private:
    std::string m_name;
    std::string m_value;
    std::string m_charset;
    bool m_omitOnStore = false;
};

} // namespace parcelo
