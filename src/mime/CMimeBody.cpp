// SPDX-License-Identifier: GPL-3.0-or-later
#include "mime/CMimeBody.h"

#include "mime/MimeCoderRegistry.h"
#include "mime/MimeString.h"

#include <QFile>
#include <algorithm>
#include <array>
#include <cstdio>
#include <ctime>
#include <random>

namespace parcelo {

namespace {

// Parts nested deeper than this are kept whole as their parent's content, so that hostile
// input cannot exhaust the stack.
constexpr int kMaxNesting = 64;

int g_boundaryCounter = 0;

struct ExtensionType {
    const char* type;
    const char* subtype;
    const char* extension;
};

constexpr std::array<ExtensionType, 16> kExtensions{{
    {"application", "xml", "xml"},
    {"application", "msword", "doc"},
    {"application", "rtf", "rtf"},
    {"application", "vnd.ms-excel", "xls"},
    {"application", "vnd.ms-powerpoint", "ppt"},
    {"application", "pdf", "pdf"},
    {"application", "zip", "zip"},
    {"image", "jpeg", "jpeg"},
    {"image", "jpeg", "jpg"},
    {"image", "gif", "gif"},
    {"image", "tiff", "tif"},
    {"image", "tiff", "tiff"},
    {"audio", "basic", "wav"},
    {"audio", "basic", "mp3"},
    {"video", "mpeg", "mpg"},
    {"video", "mpeg", "mpeg"},
}};

std::string ToBytes(const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

} // namespace

std::unique_ptr<CMimeBody> CreateBodyPart(std::string_view) {
    return std::make_unique<CMimeBody>();
}

CMimeBody::~CMimeBody() = default;

MimeMediaType CMimeBody::GetMediaType() const {
    static const char* const kNames[] = {"text",        "image",     "audio",  "video",
                                         "application", "multipart", "message"};
    const CMimeHeaderField* field = FindField("Content-Type");
    std::string_view value = field ? std::string_view(field->GetValue()) : std::string_view();
    if (value.empty())
        value = "text";
    for (int code = 0; code < 7; ++code) {
        if (StartsWithNoCase(value, kNames[code]))
            return static_cast<MimeMediaType>(code);
    }
    return MEDIA_UNKNOWN;
}

void CMimeBody::SetCharset(const QString& charset) {
    const std::string bytes = ToBytes(charset);
    if (CMimeHeaderField* field = FindField("Content-Type")) {
        field->SetParameter("charset", bytes);
        return;
    }
    CMimeHeaderField field("Content-Type", "text/plain");
    field.SetParameter("charset", bytes);
    Fields().push_back(std::move(field));
}

void CMimeBody::SetName(const QString& name) {
    const std::string bytes = ToBytes(name);
    if (CMimeHeaderField* field = FindField("Content-Type")) {
        field->SetParameter("name", bytes);
        return;
    }
    std::string value = "application/octet-stream";
    const std::size_t dot = bytes.rfind('.');
    if (dot != std::string::npos) {
        const std::string_view extension = std::string_view(bytes).substr(dot + 1);
        for (const auto& entry : kExtensions) {
            if (EqualsNoCase(extension, entry.extension)) {
                value = std::string(entry.type) + "/" + entry.subtype;
                break;
            }
        }
    }
    CMimeHeaderField field("Content-Type", value);
    field.SetParameter("name", bytes);
    Fields().push_back(std::move(field));
}

void CMimeBody::SetBoundary(const std::optional<std::string>& given) {
    std::string boundary;
    if (given) {
        boundary = *given;
    } else {
        std::minstd_rand random(static_cast<unsigned>(std::time(nullptr)) ^
                                static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(this)));
        ++g_boundaryCounter;
        const unsigned r1 = random() % 32768;
        const unsigned r2 = random() % 32768;
        char text[64];
        std::snprintf(text, sizeof text, "__=_MIME_BOUNDARY_%03d_%06u.%06u", g_boundaryCounter, r2,
                      r1);
        boundary = text;
        if (g_boundaryCounter >= 9)
            g_boundaryCounter = 0;
    }
    if (CMimeHeaderField* field = FindField("Content-Type")) {
        if (!StartsWithNoCase(field->GetValue(), "multipart"))
            field->SetValue("multipart/mixed");
        field->SetParameter("boundary", boundary);
        return;
    }
    CMimeHeaderField field("Content-Type", "multipart/mixed");
    field.SetParameter("boundary", boundary);
    Fields().push_back(std::move(field));
}

std::string CMimeBody::GetContentCoding() const {
    for (const auto& field : Fields()) {
        if (EqualsNoCase(field.GetName(), "Content-Type") &&
            StartsWithNoCase(field.GetValue(), "multipart"))
            return {};
    }
    return GetFieldValue("Content-Transfer-Encoding");
}

void CMimeBody::SetTransferEncoding(const QString& encoding) {
    SetField("Content-Transfer-Encoding", ToBytes(encoding));
}

const std::string& CMimeBody::GetContent() const {
    if (m_contentPending) {
        auto coder = CreateTransferCoder(m_sourceCoding);
        coder->SetInput(m_source, false);
        m_content.clear();
        coder->Decode(m_content);
        m_contentPending = false;
    }
    return m_content;
}

std::size_t CMimeBody::GetText(std::string& text) const {
    text = GetContent();
    return text.size();
}

std::ptrdiff_t CMimeBody::SetText(const QString& text) {
    m_content = ToBytes(text);
    m_contentPending = false;
    m_hasSource = false;
    m_source.clear();
    return static_cast<std::ptrdiff_t>(m_content.size());
}

CMimeBody* CMimeBody::AddPart(std::string_view mainType, const CMimeBody* before) {
    auto part = CreateBodyPart(mainType.empty() ? std::string_view("text") : mainType);
    CMimeBody* raw = part.get();
    auto at = std::find_if(m_parts.begin(), m_parts.end(),
                           [before](const auto& p) { return before && p.get() == before; });
    m_parts.insert(at, std::move(part));
    return raw;
}

void CMimeBody::RemovePart(CMimeBody* part) {
    std::erase_if(m_parts, [part](const auto& p) { return p.get() == part; });
}

void CMimeBody::RemoveAllParts() {
    m_parts.clear();
}

int CMimeBody::CollectLeafParts(std::vector<CMimeBody*>& list) {
    if (GetMediaType() != MEDIA_MULTIPART) {
        list.push_back(this);
        return 1;
    }
    int count = 0;
    for (auto& part : m_parts)
        count += part->CollectLeafParts(list);
    return count;
}

int CMimeBody::CollectLeafParts(std::vector<const CMimeBody*>& list) const {
    if (GetMediaType() != MEDIA_MULTIPART) {
        list.push_back(this);
        return 1;
    }
    int count = 0;
    for (const auto& part : m_parts)
        count += part->CollectLeafParts(list);
    return count;
}

void CMimeBody::Clear() {
    m_parts.clear();
    m_content.clear();
    m_contentPending = false;
    m_hasSource = false;
    m_source.clear();
    CMimeHeader::Clear();
}

std::size_t CMimeBody::GetLength() const {
    std::size_t total = FieldsLength();
    const std::string coding = GetContentCoding();
    if (m_hasSource && SameTransferCoder(coding, m_sourceCoding)) {
        total += m_source.size();
    } else {
        auto coder = CreateTransferCoder(coding);
        coder->SetInput(GetContent(), true);
        total += coder->EncodedLength();
    }
    if (!m_parts.empty()) {
        const std::size_t boundary = GetBoundary().size();
        for (const auto& part : m_parts)
            total += part->GetLength() + boundary + 6;
        total += boundary + 8;
    }
    return total;
}

std::ptrdiff_t CMimeBody::Store(std::string& out) const {
    const std::size_t start = out.size();
    const std::ptrdiff_t header = StoreFields(out);
    if (header <= 0)
        return header;
    StoreContent(out);
    if (m_parts.empty())
        return static_cast<std::ptrdiff_t>(out.size() - start);
    const std::string boundary = GetBoundary();
    if (boundary.empty()) {
        out.resize(start);
        return -1;
    }
    bool first = true;
    for (const auto& part : m_parts) {
        if (first && out.size() - start >= 2 && out.compare(out.size() - 2, 2, "\r\n") == 0)
            out.resize(out.size() - 2);
        first = false;
        out.append("\r\n--").append(boundary).append("\r\n");
        const std::ptrdiff_t n = part->Store(out);
        if (n < 0) {
            out.resize(start);
            return n;
        }
    }
    out.append("\r\n--").append(boundary).append("--\r\n");
    return static_cast<std::ptrdiff_t>(out.size() - start);
}

std::ptrdiff_t CMimeBody::StoreContent(std::string& out) const {
    const std::string coding = GetContentCoding();
    // Content that came in with the encoding it still has goes out as it came, text after
    // base64 padding and all.
    if (m_hasSource && SameTransferCoder(coding, m_sourceCoding)) {
        out.append(m_source);
        return static_cast<std::ptrdiff_t>(m_source.size());
    }
    auto coder = CreateTransferCoder(coding);
    coder->SetInput(GetContent(), true);
    return static_cast<std::ptrdiff_t>(coder->Encode(out));
}

std::ptrdiff_t CMimeBody::Load(const char* data, std::size_t size) {
    return LoadAtDepth(data, size, 0);
}

std::ptrdiff_t CMimeBody::LoadAtDepth(const char* data, std::size_t size, int depth) {
    const std::ptrdiff_t headerLength = LoadFields(data, size);
    if (headerLength <= 0)
        return headerLength;
    const std::string_view d(data, size);
    const std::size_t npos = std::string_view::npos;
    // A header that runs to the end of the data has no body.
    std::size_t body = std::min(static_cast<std::size_t>(headerLength), size);
    std::size_t end = size;
    m_content.clear();
    m_source.clear();
    m_contentPending = false;
    m_hasSource = true;
    m_sourceCoding = GetContentCoding();

    std::string delimiter;
    if (GetMediaType() == MEDIA_MULTIPART && depth < kMaxNesting) {
        const std::string boundary = GetBoundary();
        if (!boundary.empty())
            delimiter = "\r\n--" + boundary;
    }
    // The delimiter right after the blank line shares its CR LF, so the search starts 2 early.
    const auto findDelimiter = [&](std::size_t from) {
        return delimiter.empty() ? npos : d.find(delimiter, from >= 2 ? from - 2 : 0);
    };
    const std::size_t first = findDelimiter(body);
    if (first != npos)
        end = first + 2;
    if (end > body) {
        m_source.assign(d.substr(body, end - body));
        m_contentPending = true;
        body = end;
    }
    if (body >= size)
        return static_cast<std::ptrdiff_t>(body);

    const std::size_t stop = size;
    std::size_t p = first;
    while (p != npos && p < stop) {
        const std::size_t lineEnd = d.find("\r\n", p + 2);
        if (lineEnd == npos)
            break;
        const std::size_t partStart = lineEnd + 2;
        const std::size_t after = p + delimiter.size();
        if (after + 2 <= size && d[after] == '-' && d[after + 1] == '-')
            return static_cast<std::ptrdiff_t>(partStart);
        const std::size_t next = d.find(delimiter, partStart);
        const std::size_t partEnd = next == npos ? stop : next;
        CMimeHeader scratch;
        scratch.Load(data + partStart, partEnd - partStart);
        m_parts.push_back(CreateBodyPart(scratch.GetMainType()));
        const std::ptrdiff_t n =
            m_parts.back()->LoadAtDepth(data + partStart, partEnd - partStart, depth + 1);
        if (n < 0) {
            m_parts.pop_back();
            return n;
        }
        p = next;
    }
    return static_cast<std::ptrdiff_t>(stop);
}

int CMimeBody::LoadFromFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -2;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return -1;
    Load(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    return 0;
}

} // namespace parcelo
