// SPDX-License-Identifier: GPL-3.0-or-later
// Parses every message source in a folder and writes the message file the export would write
// for it (its stored form and the closing CR LF CR LF) to another folder. Sources without a blank
// line in CR LF form are skipped, as the export skips them.
#include "mime/MessageConversion.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: mime_roundtrip_tool SOURCE_DIR OUTPUT_DIR\n");
        return 2;
    }
    const QDir in(QString::fromLocal8Bit(argv[1]));
    const QDir out(QString::fromLocal8Bit(argv[2]));
    int converted = 0;
    for (const QString& name : in.entryList(QDir::Files, QDir::Name)) {
        QFile source(in.filePath(name));
        if (!source.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cannot read %s\n", qPrintable(source.fileName()));
            return 1;
        }
        const QByteArray bytes = source.readAll();
        if (!bytes.contains("\r\n\r\n"))
            continue;
        const auto message = parcelo::ParseMessageSource(bytes.toStdString());
        std::string file;
        if (!parcelo::MessageFileBytes(*message, file)) {
            std::fprintf(stderr, "cannot convert %s\n", qPrintable(source.fileName()));
            return 1;
        }
        QFile target(out.filePath(name));
        if (!target.open(QIODevice::WriteOnly) ||
            target.write(file.data(), qint64(file.size())) != qint64(file.size())) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(target.fileName()));
            return 1;
        }
        ++converted;
    }
    std::printf("%d\n", converted);
    return 0;
}
