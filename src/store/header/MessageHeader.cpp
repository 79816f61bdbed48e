// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/header/MessageHeader.h"

#include <algorithm>
#include <cstring>

namespace parcelo {

MessageHeader::MessageHeader(const QByteArray& header) {
    const char* data = header.constData();
    const qsizetype size = header.size();
    fields_.reserve(std::min<size_t>(64, size_t(size) / 40 + 1)); // about a field a line
    bool current = false; // whether the last line started a field that continuations extend
    qsizetype pos = 0;
    while (pos < size) {
        const auto* eol =
            static_cast<const char*>(std::memchr(data + pos, '\n', size_t(size - pos)));
        const qsizetype next = eol ? eol - data + 1 : size;
        qsizetype end = next;
        while (end > pos && (data[end - 1] == '\n' || data[end - 1] == '\r'))
            --end;
        const QByteArrayView line(data + pos, end - pos);
        pos = next;
        if (line.isEmpty())
            break;
        if (line[0] == ' ' || line[0] == '\t') {
            if (current)
                fields_.back().value.append(line);
            continue;
        }
        current = false;
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        const QByteArrayView name = line.first(colon).trimmed();
        if (name.isEmpty() || name.indexOf(' ') >= 0 || name.indexOf('\t') >= 0)
            continue;
        fields_.push_back({name.toByteArray(), line.sliced(colon + 1).toByteArray()});
        current = true;
    }
    for (Field& field : fields_)
        field.value = std::move(field.value).trimmed();
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
