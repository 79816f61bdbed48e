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

QString SelectionLogText(int mode) {
    return mode == 2   ? QStringLiteral("All")
           : mode == 1 ? QStringLiteral("Some")
                       : QStringLiteral("None");
}

QString RunFooterText(const RunLogFooter& footer, const QDateTime& now) {
    return QStringLiteral("Export completed at ") + timeText(now) + kCrLf +
           QStringLiteral("Applied Filter(s): ") + footer.filterDescription + kCrLf +
           QStringLiteral("Exported Headers: ") + SelectionLogText(footer.exportHeaders) + kCrLf +
           QStringLiteral("Exported Attachments: ") + SelectionLogText(footer.exportAttachments) +
           kCrLf + QStringLiteral("Total number of exported messages: ") +
           CountText(footer.exported) + kCrLf +
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
