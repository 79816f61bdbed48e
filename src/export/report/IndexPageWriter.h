// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "export/report/IndexPage.h"

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QString>

namespace parcelo {

// Appends the entries of one run to the index page: the page is created with its heading when
// it does not exist as a file, opened once, and entries are written whole in few writes (at
// the latest by flush()). A write that fails part-way is taken back, so the page never ends in
// half an entry.
class IndexPageWriter {
public:
    IndexPageWriter(QString path, QDateTime now = QDateTime::currentDateTime(),
                    QString homePage = kProductHomePage);
    ~IndexPageWriter();

    // False, with the reason in error, when the page cannot be created or written; the entries
    // not written are dropped.
    bool append(const IndexEntry& entry, QString* error = nullptr);
    // The same for an entry prepared before its file had the name path.
    bool append(const PreparedIndexEntry& entry, const QString& path, QString* error = nullptr);
    bool flush(QString* error = nullptr);

    static constexpr qsizetype kWriteSize = 64 * 1024;

private:
    bool open(QString* error);

    QString path_;
    QDateTime now_;
    QString homePage_;
    QFile file_;
    QByteArray pending_;
};

} // namespace parcelo
