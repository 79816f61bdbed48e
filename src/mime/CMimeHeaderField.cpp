// SPDX-License-Identifier: GPL-3.0-or-later
#include "mime/CMimeHeaderField.h"

#include "mime/MimeChar.h"
#include "mime/MimeCoderRegistry.h"
#include "mime/MimeString.h"

namespace parcelo {

using namespace mimechar;

void CMimeHeaderField::Decode() const {
    if (!m_pending)
        return;
    m_pending = false;
    FieldCoder coder(m_name);
    coder->SetInput(std::string_view(m_source).substr(m_valueOffset, m_valueLength), false);
    m_value.clear();
    coder->Decode(m_value);
    m_charset = coder->GetCharset();
}

bool CMimeHeaderField::FindParameter(std::string_view attribute, std::size_t& offset,
                                     std::size_t& length) const {
    const std::string_view v = GetValue();
    std::size_t pos = v.find(';');
    if (pos == std::string_view::npos)
        return false;
    while (pos < v.size()) {
        while (pos < v.size() &&
               (IsWhitespace(static_cast<unsigned char>(v[pos])) || v[pos] == ';'))
            ++pos;
        const std::size_t nameStart = pos;
        const std::size_t eq = v.find('=', pos);
        if (eq == std::string_view::npos)
            return false;
        std::size_t valueStart = eq + 1;
        while (valueStart < v.size() && (v[valueStart] == ' ' || v[valueStart] == '\t' ||
                                         v[valueStart] == '\r' || v[valueStart] == '\n'))
            ++valueStart;
        std::size_t valueEnd = valueStart;
        std::size_t closing = std::string_view::npos;
        if (valueStart < v.size() && v[valueStart] == '"')
            closing = v.find('"', valueStart + 1);
        if (closing != std::string_view::npos) {
            valueEnd = closing + 1;
        } else {
            while (valueEnd < v.size()) {
                const unsigned char c = static_cast<unsigned char>(v[valueEnd]);
                if (c == '.' || c >= 0x80 || (c > 0x20 && !IsSpecial(c)))
                    ++valueEnd;
                else
                    break;
            }
        }
        const std::string_view name = v.substr(nameStart);
        if (StartsWithNoCase(name, attribute) && attribute.size() < name.size() &&
            (IsWhitespace(static_cast<unsigned char>(name[attribute.size()])) ||
             name[attribute.size()] == '=')) {
            offset = valueStart;
            length = valueEnd - valueStart;
            return true;
        }
        // Always move on, also past a value that did not grow, so the walk ends.
        pos = valueEnd > eq ? valueEnd : eq + 1;
    }
    return false;
}

std::string CMimeHeaderField::GetParameter(std::string_view attribute) const {
    std::size_t offset = 0;
    std::size_t length = 0;
    if (!FindParameter(attribute, offset, length))
        return {};
    std::string_view found = std::string_view(GetValue()).substr(offset, length);
    if (!found.empty() && found.front() == '"')
        found.remove_prefix(1);
    if (!found.empty() && found.back() == '"')
        found.remove_suffix(1);
    return std::string(found);
}

void CMimeHeaderField::SetParameter(std::string_view attribute, std::string_view value) {
    Decode();
    std::string quoted;
    if (value.empty() || value.front() != '"')
        quoted.push_back('"');
    quoted.append(value);
    if (!(value.size() >= 2 && value.back() == '"'))
        quoted.push_back('"');
    std::size_t offset = 0;
    std::size_t length = 0;
    if (FindParameter(attribute, offset, length)) {
        m_value.replace(offset, length, quoted);
    } else {
        m_value.append("; ").append(attribute).append("=").append(quoted);
    }
    m_source.clear();
}

std::size_t CMimeHeaderField::GetLength() const {
    if (!m_source.empty())
        return m_source.size();
    Decode();
    FieldCoder coder(m_name);
    coder->SetCharset(m_charset);
    coder->SetInput(m_value, true);
    return m_name.size() + coder->EncodedLength() + 4;
}

std::ptrdiff_t CMimeHeaderField::Store(std::string& out) const {
    if (!m_source.empty()) {
        out.append(m_source);
        return static_cast<std::ptrdiff_t>(m_source.size());
    }
    Decode();
    const std::size_t start = out.size();
    out.append(m_name).append(": ");
    FieldCoder coder(m_name);
    coder->SetCharset(m_charset);
    coder->SetInput(m_value, true);
    coder->Encode(out);
    out.append("\r\n");
    return static_cast<std::ptrdiff_t>(out.size() - start);
}

std::ptrdiff_t CMimeHeaderField::Load(const char* data, std::size_t size) {
    const std::string_view d(data, size);
    HeaderFieldScanner scanner(d);
    HeaderFieldSpan span;
    while (scanner.next(span)) {
        if (!span.hasLineEnd())
            return 0;
        // A line that starts with white space where a field should start is dropped.
        if (!span.hasName() && IsSpaceOrTab(static_cast<unsigned char>(d[span.begin])))
            continue;
        Load(d, span);
        return static_cast<std::ptrdiff_t>(span.end);
    }
    return 0;
}

void CMimeHeaderField::Load(std::string_view data, const HeaderFieldSpan& span) {
    m_name.assign(data.substr(span.begin, span.nameEnd - span.begin));
    m_source.assign(data.substr(span.begin, span.end - span.begin));
    m_valueOffset = span.valueBegin - span.begin;
    m_valueLength = span.valueEnd - span.valueBegin;
    // Data that ends inside the last line end or before it: the line end is completed.
    if (!span.hasLineEnd() && m_source.ends_with('\r')) {
        m_source.push_back('\n');
        m_valueLength -= m_valueLength > 0 ? 1 : 0;
    } else if (!span.hasLineEnd()) {
        m_source.append("\r\n");
    }
    m_value.clear();
    m_charset.clear();
    m_pending = true;
}

} // namespace parcelo
