// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace parcelo {

// The counts and actions of one exported mail folder, as its log block shows them.
struct FolderLogBlock {
    QString folderName;        // the store's name of the folder
    int storeMessageCount = 0; // the folder's message count as the store reports it
    int exported = 0;
    bool markedRead = false; // ActionMarkRead was on
    bool deleted = false;    // ActionDelete was on
    int skipped = -1;        // messages exported before; -1 when the run exported every one
    QStringList duplicates{}; // the messages that were copies of one exported earlier in the run
};

// What the attachment choice of a run did to the messages it wrote.
struct AttachmentTally {
    int kept = 0;
    int leftOut = 0;
    int messagesReduced = 0; // messages that lost at least one attachment
    int onlyHeader = 0;      // messages of which only the header was kept
};

struct RunLogFooter {
    QString filterDescription; // DescribeFilters
    int exported = 0;
    int scanned = 0;
    int exportHeaders = 2; // the modes the run applied
    int exportAttachments = 2;
    QStringList headerNames = {}; // the lists a mode "Some" applied
    QStringList attachmentNames = {};
    AttachmentTally attachments = {};
    int skipped = -1; // as in FolderLogBlock
};

// How the log names a header or attachment mode: "All", "None", or "Some: " and the names.
QString SelectionLogText(int mode, const QStringList& names = {});

// The records of a run, each without its closing CR LF; dates and times in the
// user's formats.
QString RunHeaderText(const QDateTime& now);
QString FolderBlockText(const FolderLogBlock& block);
QString RunFooterText(const RunLogFooter& footer, const QDateTime& now);
// The problems of a run, before its footer: "Problems: N", then one line each.
QString ProblemsText(const QStringList& problems);

// The export log file: each record is written by one append, ended by CR LF. A write that
// failed leaves its reason in lastError().
class ExportLog {
public:
    explicit ExportLog(QString path) : path_(std::move(path)) {}

    bool writeRunHeader(const QDateTime& now = QDateTime::currentDateTime()) const;
    bool writeFolderBlock(const FolderLogBlock& block) const;
    bool writeProblems(const QStringList& problems) const;
    bool writeRunFooter(const RunLogFooter& footer,
                        const QDateTime& now = QDateTime::currentDateTime()) const;

    const QString& path() const { return path_; }
    const QString& lastError() const { return error_; }

private:
    bool append(const QString& record) const;

    QString path_;
    mutable QString error_;
};

} // namespace parcelo
