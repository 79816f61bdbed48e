// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QUrl>
#include <functional>

namespace parcelo {

// Opens a URL with the desktop (the user interface passes its own; the default runs xdg-open).
using UrlOpener = std::function<bool(const QUrl&)>;

// Shows a prepared mail in the user's mail program, which sends nothing until the user does:
// `xdg-email` with the subject, body and address, or without it a mailto: URL. False when
// neither could be started. Both take a bare address, so the recipient carries no display name.
bool SendSupportMail(const QString& address, const QString& subject, const QString& body,
                     const UrlOpener& openUrl = {});

// The mailto: URL of such a mail (RFC 6068: line ends as %0D%0A).
QUrl SupportMailUrl(const QString& address, const QString& subject, const QString& body);

} // namespace parcelo
