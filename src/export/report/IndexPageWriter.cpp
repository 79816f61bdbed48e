// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/report/IndexPageWriter.h"

#include "export/output/FileChecks.h"
#include "export/output/TextFile.h"
#include "platform/WriteAll.h"

namespace parcelo {

IndexPageWriter::IndexPageWriter(QString path, QDateTime now, QString homePage)
    : path_(std::move(path)), now_(std::move(now)), homePage_(std::move(homePage)) {}

IndexPageWriter::~IndexPageWriter() {
    flush();
}

bool IndexPageWriter::open(QString* error) {
    if (file_.isOpen())
        return true;
    if (!FileExists(path_) && !WriteTextFile(path_, IndexPageHeadingText(now_, homePage_), error))
        return false;
    file_.setFileName(path_);
    if (file_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return true;
    if (error)
        *error = file_.errorString();
    return false;
}

bool IndexPageWriter::append(const IndexEntry& entry, QString* error) {
    return append(PrepareIndexEntry(entry), entry.filePath, error);
}

bool IndexPageWriter::append(const PreparedIndexEntry& entry, const QString& path, QString* error) {
    if (pending_.capacity() < kWriteSize)
        pending_.reserve(kWriteSize + 4096); // kept from write to write
    pending_ += entry.beforeLink;
    AppendIndexFileLink(&pending_, path);
    pending_ += entry.afterLink;
    return pending_.size() < kWriteSize || flush(error);
}

bool IndexPageWriter::flush(QString* error) {
    if (pending_.isEmpty())
        return true;
    bool written = open(error);
    if (written) {
        const qint64 before = file_.size();
        written = WriteAll(file_, pending_, error);
        if (!written)
            file_.resize(before);
    }
    pending_.resize(0); // written or dropped
    return written;
}

} // namespace parcelo
