// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/feedback/SupportMessages.h"

#include "platform/FormatByteSize.h"
#include "platform/ProductInfo.h"

namespace parcelo {

namespace {

QString tagged(const QString& kind, const QString& product, const QString& version) {
    return kind + QStringLiteral(" [") + product + QLatin1Char(' ') + version + QLatin1Char(']');
}

} // namespace

QString FeedbackSubject(const QString& product, const QString& version) {
    return tagged(QStringLiteral("New Ideas"), product, version);
}

QString BugReportSubject(const QString& product, const QString& version) {
    return tagged(QStringLiteral("Bug Report"), product, version);
}

QString BugReportBody(const SystemInformation& info, const QString& product,
                      const QString& version) {
    const QString crLf = QStringLiteral("\r\n");
    QString platform = QStringLiteral("Platform: ") + info.platformName +
                       QStringLiteral(" / Build: ") + info.build;
    if (!info.servicePack.isEmpty())
        platform += QStringLiteral(" / ") + info.servicePack;
    QStringList lines{
        QStringLiteral("System Information -----------------------"),
        QStringLiteral("Memory Used: %1 Percent").arg(info.memoryLoadPercent),
        QStringLiteral("Physical Memory: ") + FormatByteSize(info.totalPhysical),
        QStringLiteral("Physical Memory Available: ") + FormatByteSize(info.availablePhysical),
        QStringLiteral("Virtual Memory: ") + FormatByteSize(info.totalVirtual),
        platform,
        QStringLiteral("CPU Speed: ") + info.cpuMhz + QStringLiteral(" MHz"),
        QStringLiteral("CPU Vendor: ") + info.cpuVendor,
        QStringLiteral("Processor Type: ") + info.processorType,
        QStringLiteral("Number of Processors: %1").arg(info.processorCount),
        QStringLiteral("Architecture: ") + info.architecture,
    };
    if (!info.processorLevel.isEmpty())
        lines << QStringLiteral("Processor Level: ") + info.processorLevel;
    lines << QStringLiteral("Page Size: %1 bytes").arg(info.pageSize)
          << product + QStringLiteral(": ") + version;
    return QStringLiteral("Please describe the problem:") + crLf + crLf +
           QStringLiteral("Can you consistently duplicate the problem? If so, please list the "
                          "exact steps to reproduce the problem:") +
           crLf + crLf + crLf + lines.join(crLf) + crLf;
}

bool SendFeedbackMail(const UrlOpener& openUrl) {
    return SendSupportMail(kProductSupportAddress, FeedbackSubject(kProductName, kProductVersion),
                           QString(), openUrl);
}

bool SendBugReportMail(const UrlOpener& openUrl) {
    return SendSupportMail(kProductSupportAddress, BugReportSubject(kProductName, kProductVersion),
                           BugReportBody(CollectSystemInformation(), kProductName, kProductVersion),
                           openUrl);
}

} // namespace parcelo
