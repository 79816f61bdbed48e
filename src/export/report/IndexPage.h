// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ProductInfo.h"

#include <QDateTime>
#include <QString>

namespace parcelo {

// One exported message as the index page lists it.
struct IndexEntry {
    QString filePath;  // full path of the message file
    QString sender;    // sender display text from the store
    QString fromValue; // From, To, CC, BCC field values of the message, empty when absent
    QString subject;   // subject from the store
    QString toValue;
    QString ccValue;
    QString bccValue;
    QString sentDateText; // SentDateText
};

// The heading written once when the page is created (UTF-8, with its charset declared).
QString IndexPageHeadingText(const QDateTime& now, const QString& homePage = kProductHomePage);

// One entry: a paragraph holding a two-row table, then a rule; without the closing CR LF.
QString IndexEntryText(const IndexEntry& entry);

// An entry's UTF-8 bytes made before its file has a name: those before the file's link, and
// those after it with the closing CR LF.
struct PreparedIndexEntry {
    QByteArray beforeLink;
    QByteArray afterLink;
};
PreparedIndexEntry PrepareIndexEntry(const IndexEntry& entry); // all but entry.filePath
// The link of an entry to its file, as its href attribute holds it (UTF-8).
QByteArray IndexFileLink(const QString& path);
void AppendIndexFileLink(QByteArray* out, const QString& path);

// Creates the page with its heading when it does not exist as a file, then appends the entry
// and CR LF. False, with the reason in error, when the page cannot be created or the entry
// not appended.
bool WriteIndexEntry(const QString& indexPath, const IndexEntry& entry,
                     const QDateTime& now = QDateTime::currentDateTime(),
                     const QString& homePage = kProductHomePage, QString* error = nullptr);

} // namespace parcelo
