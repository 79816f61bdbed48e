// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/report/IndexCsvWriter.h"

#include "platform/WriteAll.h"

namespace parcelo {

IndexCsvWriter::IndexCsvWriter(QString path) : path_(std::move(path)) {}

IndexCsvWriter::~IndexCsvWriter() {
    flush();
}

bool IndexCsvWriter::append(const PreparedCsvRow& row, const QString& path, QString* error) {
    pending_ += row.beforePath;
    AppendCsvField(&pending_, path.toUtf8());
    pending_ += row.afterPath;
    return pending_.size() < kWriteSize || flush(error);
}

bool IndexCsvWriter::flush(QString* error) {
    if (pending_.isEmpty())
        return true;
    QByteArray bytes = std::move(pending_);
    pending_ = QByteArray();
    if (!file_.isOpen()) {
        file_.setFileName(path_);
        if (!file_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
            if (error)
                *error = file_.errorString();
            return false;
        }
    }
    const qint64 before = file_.size();
    if (before == 0)
        bytes.prepend(IndexCsvHeading());
    if (WriteAll(file_, bytes, error))
        return true;
    file_.resize(before);
    return false;
}

} // namespace parcelo
