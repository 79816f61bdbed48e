// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/SupportMail.h"
#include "platform/SystemInformation.h"

#include <QString>

namespace parcelo {

// The name of the mailbox that feedback and problem reports go to (kProductSupportAddress).
inline const QString kSupportName = QStringLiteral("Parcelo Support");

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
