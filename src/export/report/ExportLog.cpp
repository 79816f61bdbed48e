// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/report/ExportLog.h"

#include "export/CountText.h"
#include "export/output/TextFile.h"
#include "platform/LocaleFormats.h"

namespace parcelo {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

QString dateText(const QDateTime& now) {
    return LocaleFormats::current().formatDate(now.date());
}
QString timeText(const QDateTime& now) {
    return LocaleFormats::current().formatTime(now.time());
}

// "None" or "Some: ..." with what the run kept and left out.
QString AttachmentsLogText(const RunLogFooter& footer) {
    QString text = SelectionLogText(footer.exportAttachments, footer.attachmentNames);
    if (footer.exportAttachments == 2)
        return text;
    const AttachmentTally& tally = footer.attachments;
    text += QStringLiteral(" (");
    if (footer.exportAttachments == 1)
        text += QStringLiteral("kept %1, ").arg(tally.kept);
    text += QStringLiteral("left out %1 from %2 messages")
                .arg(tally.leftOut)
                .arg(tally.messagesReduced);
    if (tally.onlyHeader > 0)
        text += QStringLiteral("; %1 messages kept only their header").arg(tally.onlyHeader);
    return text + u')';
}

} // namespace

QString RunHeaderText(const QDateTime& now) {
    return dateText(now) + kCrLf + QStringLiteral("Export initialized at ") + timeText(now) + kCrLf;
}

QString FolderBlockText(const FolderLogBlock& block) {
    QString text =
        QStringLiteral("Mailbox: ") + block.folderName + kCrLf +
        QStringLiteral("Number of Scanned Messages: ") + CountText(block.storeMessageCount) +
        kCrLf + QStringLiteral("Number of Exported Messages: ") + CountText(block.exported) + kCrLf;
    if (block.skipped >= 0)
        text += QStringLiteral("Number of Skipped Messages (exported before): ") +
                CountText(block.skipped) + kCrLf;
    for (QString duplicate : block.duplicates)
        text += QStringLiteral("Duplicate: ") +
                duplicate.replace(u'\r', u' ').replace(u'\n', u' ') + kCrLf;
    if (block.markedRead)
        text += QStringLiteral("Source Messages: Marked as Read");
    if (block.deleted)
        text += QStringLiteral("Source Messages: Deleted");
    return text + kCrLf;
}

QString ProblemsText(const QStringList& problems) {
    QString text = QStringLiteral("Problems: ") + QString::number(problems.size()) + kCrLf;
    for (QString problem : problems) {
        // One line each, whatever a name or a system's reason holds.
        problem.replace(u'\r', u' ').replace(u'\n', u' ');
        text += problem + kCrLf;
    }
    return text;
}

QString SelectionLogText(int mode, const QStringList& names) {
    if (mode == 2)
        return QStringLiteral("All");
    if (mode != 1)
        return QStringLiteral("None");
    return names.isEmpty() ? QStringLiteral("Some: (no names listed)")
                           : QStringLiteral("Some: ") + names.join(QStringLiteral(", "));
}

QString RunFooterText(const RunLogFooter& footer, const QDateTime& now) {
    return QStringLiteral("Export completed at ") + timeText(now) + kCrLf +
           QStringLiteral("Applied Filter(s): ") + footer.filterDescription + kCrLf +
           QStringLiteral("Exported Headers: ") +
           SelectionLogText(footer.exportHeaders, footer.headerNames) + kCrLf +
           QStringLiteral("Exported Attachments: ") + AttachmentsLogText(footer) + kCrLf +
           QStringLiteral("Total number of exported messages: ") + CountText(footer.exported) +
           kCrLf +
           (footer.skipped >= 0 ? QStringLiteral("Total number of skipped messages (exported "
                                                 "before): ") +
                                      CountText(footer.skipped) + kCrLf
                                : QString()) +
           QStringLiteral("Total number of scanned messages: ") + CountText(footer.scanned) +
           kCrLf + QString(41, u'=');
}

bool ExportLog::writeRunHeader(const QDateTime& now) const {
    return append(RunHeaderText(now));
}

bool ExportLog::writeFolderBlock(const FolderLogBlock& block) const {
    return append(FolderBlockText(block));
}

bool ExportLog::writeProblems(const QStringList& problems) const {
    return append(ProblemsText(problems));
}

bool ExportLog::writeRunFooter(const RunLogFooter& footer, const QDateTime& now) const {
    return append(RunFooterText(footer, now));
}

bool ExportLog::append(const QString& record) const {
    return AppendTextToFile(path_, record, kCrLf, &error_);
}

} // namespace parcelo
