#pragma once

#include "platform/SupportMail.h"
#include "platform/SystemInformation.h"

#include <QString>

namespace parcelo {

// Where feedback and problem reports go. The address is a placeholder in a reserved domain
// until the project has a support mailbox.
inline const QString kSupportName = QStringLiteral("Parcelo Support");
inline const QString kSupportAddress = QStringLiteral("support@parcelo.example");

QString FeedbackSubject(const QString& product, const QString& version);
QString BugReportSubject(const QString& product, const QString& version);
// The problem-report form followed by the system block, CR LF line ends.
QString BugReportBody(const SystemInformation& info, const QString& product,
                      const QString& version);

// The Help menu's two commands: a prepared mail in the user's mail program, which the user
// edits and sends. False when no mail program could be started.
bool SendFeedbackMail(const UrlOpener& openUrl = {});
bool SendBugReportMail(const UrlOpener& openUrl = {});

} // namespace parcelo
