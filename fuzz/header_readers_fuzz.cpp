// SPDX-License-Identifier: GPL-3.0-or-later
// Reads arbitrary bytes as a message header through the store (the tree's properties and
// filters) and through the MIME model (the message file). Both must find the same fields, in
// the same order, with the same values once unfolded, and storing the MIME model's header
// again must keep every byte of the fields it read.
#include "mime/CMimeHeader.h"
#include "store/header/MessageHeader.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void Check(bool ok) {
    if (!ok)
        std::abort();
}

QByteArray Unfolded(const std::string& value) {
    QByteArray out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\n' || (value[i] == '\r' && i + 1 < value.size() && value[i + 1] == '\n'))
            continue;
        out.append(value[i]);
    }
    return out.trimmed();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string source(reinterpret_cast<const char*>(data), size);
    const parcelo::MessageHeader store(QByteArray::fromStdString(source));
    parcelo::CMimeHeader file;
    file.Load(source);
    std::size_t named = 0;
    for (const parcelo::CMimeHeaderField& field : file.Fields()) {
        const std::string& bytes = field.GetSource();
        Check(source.find(bytes.substr(0, bytes.size() - 2)) != std::string::npos);
        if (field.GetName().empty())
            continue;
        Check(named < store.fields().size());
        const parcelo::MessageHeader::Field& other = store.fields()[named++];
        Check(other.name.toStdString() == field.GetName());
        Check(other.value == Unfolded(bytes.substr(bytes.find(':') + 1)));
    }
    Check(named == store.fields().size());
    return 0;
}
