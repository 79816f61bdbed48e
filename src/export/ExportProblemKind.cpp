// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/ExportProblemKind.h"


namespace parcelo {

QString ExportProblemSummaryLine(ExportProblemKind kind, int count, const QString& destination) {
    QString what;
    switch (kind) {
    case ExportProblemKind::FolderUnread:
        what = QStringLiteral("Mail folders that could not be read");
        break;
    case ExportProblemKind::FolderUnchanged:
        what = QStringLiteral("Mail folders whose changes could not be applied");
        break;
    case ExportProblemKind::MessageUnread:
        what = QStringLiteral("Messages that could not be read");
        break;
    case ExportProblemKind::MessageLeftOut:
        what = QStringLiteral("Messages left out");
        break;
    case ExportProblemKind::FileUnwritten:
        what = QStringLiteral("Message files that could not be written to %1").arg(destination);
        break;
    case ExportProblemKind::FileUnsure:
        what = QStringLiteral("Message files not confirmed as copies of their messages");
        break;
    case ExportProblemKind::SourceUnchanged:
        what = QStringLiteral("Messages not marked read or deleted");
        break;
    case ExportProblemKind::Other:
        what = QStringLiteral("Other problems");
        break;
    }
    return what + QStringLiteral(": ") + QString::number(count);
}

} // namespace parcelo
