// SPDX-License-Identifier: GPL-3.0-or-later
// Reads the header of every file in a folder through the store (the tree's properties and
// filters) and through the MIME model (the message file), and prints the fields each finds:
// a line a file, its name, then the store's fields and the MIME model's, as hex name=value
// pairs with the values unfolded and trimmed of spaces and tabs.
#include "mime/CMimeHeader.h"
#include "store/header/MessageHeader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cstdio>
#include <string>

namespace {

std::string Unfolded(const std::string& value) {
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\n' || (value[i] == '\r' && i + 1 < value.size() && value[i + 1] == '\n'))
            continue;
        out.push_back(value[i]);
    }
    const std::size_t first = out.find_first_not_of(" \t");
    const std::size_t last = out.find_last_not_of(" \t");
    return first == std::string::npos ? std::string() : out.substr(first, last - first + 1);
}

std::string Pair(const QByteArray& name, const QByteArray& value) {
    return (name.toHex() + "=" + value.toHex()).toStdString();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: header_fields_tool SOURCE_DIR\n");
        return 2;
    }
    const QDir in(QString::fromLocal8Bit(argv[1]));
    for (const QString& name : in.entryList(QDir::Files, QDir::Name)) {
        QFile source(in.filePath(name));
        if (!source.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cannot read %s\n", qPrintable(source.fileName()));
            return 1;
        }
        const QByteArray bytes = source.readAll();
        std::string line = name.toStdString() + "\t";
        const parcelo::MessageHeader store(bytes);
        for (const parcelo::MessageHeader::Field& field : store.fields())
            line += Pair(field.name, field.value.trimmed()) + ",";
        line += "\t";
        parcelo::CMimeHeader header;
        header.Load(bytes.toStdString());
        for (const parcelo::CMimeHeaderField& field : header.Fields()) {
            if (field.GetName().empty())
                continue;
            const std::string& raw = field.GetSource();
            const std::string value = Unfolded(raw.substr(raw.find(':') + 1));
            line += Pair(QByteArray::fromStdString(field.GetName()),
                         QByteArray::fromStdString(value).trimmed()) +
                    ",";
        }
        std::printf("%s\n", line.c_str());
    }
    return 0;
}
