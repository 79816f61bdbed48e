// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/header/MessageHeader.h"

#include "mailtext/HeaderFieldScanner.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace parcelo {

namespace {

// The value's lines joined: their line ends (LF, CR LF) removed, the rest kept.
QByteArray UnfoldedValue(const char* data, std::size_t begin, std::size_t end) {
    QByteArray value;
    while (begin < end) {
        const auto* lf = static_cast<const char*>(std::memchr(data + begin, '\n', end - begin));
        std::size_t lineEnd = lf ? static_cast<std::size_t>(lf - data) : end;
        const std::size_t next = lf ? lineEnd + 1 : end;
        if (lf && lineEnd > begin && data[lineEnd - 1] == '\r')
            --lineEnd;
        if (!lf && value.isNull())
            return QByteArray(data + begin, qsizetype(lineEnd - begin)).trimmed();
        value.append(data + begin, qsizetype(lineEnd - begin));
        begin = next;
    }
    return std::move(value).trimmed();
}

} // namespace

MessageHeader::MessageHeader(const QByteArray& header) {
    const char* data = header.constData();
    const qsizetype size = header.size();
    fields_.reserve(std::min<size_t>(64, size_t(size) / 40 + 1)); // about a field a line
    HeaderFieldScanner scanner(std::string_view(data, size_t(size)));
    HeaderFieldSpan span;
    while (scanner.next(span)) {
        if (span.hasName())
            fields_.push_back({QByteArray(data + span.begin, qsizetype(span.nameEnd - span.begin)),
                               UnfoldedValue(data, span.valueBegin, span.valueEnd)});
    }
}

MessageHeader::MessageHeader(const QByteArray& header, std::initializer_list<QByteArrayView> only) {
    const char* data = header.constData();
    const qsizetype size = header.size();
    fields_.reserve(only.size());
    std::uint64_t kept = 0; // by place in only, which names at most 64
    HeaderFieldScanner scanner(std::string_view(data, size_t(size)));
    HeaderFieldSpan span;
    while (fields_.size() < only.size() && scanner.next(span)) {
        const QByteArrayView name(data + span.begin, qsizetype(span.nameEnd - span.begin));
        std::size_t index = 0;
        for (const QByteArrayView wanted : only) {
            if (name.size() == wanted.size() && !(kept & (std::uint64_t(1) << index)) &&
                name.compare(wanted, Qt::CaseInsensitive) == 0)
                break;
            ++index;
        }
        if (name.isEmpty() || index == only.size())
            continue;
        kept |= std::uint64_t(1) << index;
        fields_.push_back(
            {name.toByteArray(), UnfoldedValue(data, span.valueBegin, span.valueEnd)});
    }
}

const QByteArray* MessageHeader::find(const char* name) const {
    for (const Field& field : fields_)
        if (field.name.compare(name, Qt::CaseInsensitive) == 0)
            return &field.value;
    return nullptr;
}

QByteArray MessageHeader::value(const char* name) const {
    const QByteArray* found = find(name);
    return found ? *found : QByteArray();
}

} // namespace parcelo
