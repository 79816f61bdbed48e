// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SupportMail.h"

#include <QProcess>
#include <QStandardPaths>
#include <QUrlQuery>

namespace parcelo {

namespace {

bool openWithXdgOpen(const QUrl& url) {
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    return !opener.isEmpty() && QProcess::startDetached(opener, {url.toString(QUrl::FullyEncoded)});
}

QString withCrLf(QString text) {
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
}

} // namespace

QUrl SupportMailUrl(const QString& address, const QString& subject, const QString& body) {
    QUrl url;
    url.setScheme(QStringLiteral("mailto"));
    url.setPath(address);
    QUrlQuery query;
    const auto encoded = [](const QString& text) {
        return QString::fromLatin1(QUrl::toPercentEncoding(text));
    };
    query.addQueryItem(QStringLiteral("subject"), encoded(subject));
    if (!body.isEmpty())
        query.addQueryItem(QStringLiteral("body"), encoded(withCrLf(body)));
    url.setQuery(query.query(QUrl::FullyEncoded), QUrl::StrictMode);
    return url;
}

bool SendSupportMail(const QString& address, const QString& subject, const QString& body,
                     const UrlOpener& openUrl) {
    const QString mailer = QStandardPaths::findExecutable(QStringLiteral("xdg-email"));
    if (!mailer.isEmpty() &&
        QProcess::startDetached(mailer, {QStringLiteral("--subject"), subject,
                                         QStringLiteral("--body"), body, address}))
        return true;
    const QUrl url = SupportMailUrl(address, subject, body);
    return openUrl ? openUrl(url) : openWithXdgOpen(url);
}

} // namespace parcelo
