// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "export/report/IndexCsv.h"

#include <QByteArray>
#include <QFile>
#include <QString>

namespace parcelo {

// Appends the rows of one run to the CSV index: a new or empty file gets its heading first
// (see IndexCsvHeading); rows are written whole in few writes (at the latest by flush()), and a
// write that fails part-way is taken back, so the file never ends in half a row.
class IndexCsvWriter {
public:
    explicit IndexCsvWriter(QString path);
    ~IndexCsvWriter();

    // False, with the reason in error, when the file cannot be opened or written; the rows
    // not written are dropped.
    bool append(const PreparedCsvRow& row, const QString& path, QString* error = nullptr);
    bool flush(QString* error = nullptr);

    const QString& path() const { return path_; }

    static constexpr qsizetype kWriteSize = 64 * 1024;

private:
    QString path_;
    QFile file_;
    QByteArray pending_;
};

} // namespace parcelo
