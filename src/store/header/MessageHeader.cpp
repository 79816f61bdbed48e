#include "store/header/MessageHeader.h"

namespace parcelo {

namespace {

QByteArray StripLineEnd(QByteArray line) {
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return line;
}

} // namespace

MessageHeader::MessageHeader(const QByteArray& header) {
    bool current = false; // whether the last line started a field that continuations extend
    qsizetype pos = 0;
    while (pos < header.size()) {
        qsizetype eol = header.indexOf('\n', pos);
        const qsizetype next = eol < 0 ? header.size() : eol + 1;
        const QByteArray line = StripLineEnd(header.mid(pos, next - pos));
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
        const QByteArray name = line.left(colon).trimmed();
        if (name.isEmpty() || name.contains(' ') || name.contains('\t'))
            continue;
        fields_.push_back({name, line.mid(colon + 1)});
        current = true;
    }
    for (Field& field : fields_)
        field.value = field.value.trimmed();
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
