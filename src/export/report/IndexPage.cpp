#include "export/report/IndexPage.h"

#include "export/report/HtmlEscape.h"
#include "export/report/IndexPageWriter.h"
#include "platform/LocaleFormats.h"

#include <QUrl>

namespace parcelo {

namespace {

QString fileLink(const QString& path) {
    return HtmlEscapeText(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded));
}

QString mailtoLink(const QString& escapedAddress, const QString& text) {
    return QStringLiteral("<a href=\"mailto:") + escapedAddress + QStringLiteral("\">") + text +
           QStringLiteral("</a>");
}

} // namespace

QString IndexPageHeadingText(const QDateTime& now, const QString& homePage) {
    const LocaleFormats& formats = LocaleFormats::current();
    return QStringLiteral("<head>\r\n"
                          "<meta http-equiv=\"Content-Type\" "
                          "content=\"text/html; charset=utf-8\">\r\n"
                          "<title>Exported Messages Index</title>\r\n"
                          "</head>\r\n"
                          "<h2><center><b>Exported Messages Index</b></center></h2>\r\n"
                          "<i><center><a href=\"") +
           HtmlEscapeText(homePage) +
           QStringLiteral("\">Parcelo</a></i></center>"
                          "\r\n<br>"
                          "<center><i>Index created on ") +
           HtmlEscapeText(formats.formatDate(now.date())) + QStringLiteral(" at ") +
           HtmlEscapeText(formats.formatTime(now.time())) +
           QStringLiteral("</i></center>"
                          "<hr>");
}

PreparedIndexEntry PrepareIndexEntry(const IndexEntry& entry) {
    QString text;
    text.reserve(1024);
    text += QLatin1StringView("<p><table><tr>");
    for (const char* title : {"Message", "Sender", "Date", "Recipient(s)"}) {
        text += QLatin1StringView("<td width=\"300\"><i>");
        text += QLatin1StringView(title);
        text += QLatin1StringView("</i></td>");
    }
    text += QLatin1StringView("</tr><tr><td><a href=\"");
    PreparedIndexEntry prepared;
    prepared.beforeLink = text.toUtf8();
    text.clear();
    text += QLatin1StringView("\">");
    text += HtmlEscapeText(entry.subject);
    text += QLatin1StringView("</a></td><td>");
    text += mailtoLink(HtmlEscapeAddress(entry.fromValue), HtmlEscapeText(entry.sender));
    text += QLatin1StringView("</td><td>");
    text += HtmlEscapeText(entry.sentDateText);
    text += QLatin1StringView("</td><td>");
    for (const QString* value : {&entry.toValue, &entry.ccValue, &entry.bccValue}) {
        if (value->isEmpty())
            continue;
        const QString escaped = HtmlEscapeAddress(*value);
        text += mailtoLink(escaped, escaped);
    }
    text += QLatin1StringView("</td></tr></table></p><hr>\r\n");
    prepared.afterLink = text.toUtf8();
    return prepared;
}

QByteArray IndexFileLink(const QString& path) {
    return fileLink(path).toUtf8();
}

QString IndexEntryText(const IndexEntry& entry) {
    const PreparedIndexEntry prepared = PrepareIndexEntry(entry);
    return QString::fromUtf8(prepared.beforeLink + IndexFileLink(entry.filePath) +
                             prepared.afterLink.chopped(2));
}

bool WriteIndexEntry(const QString& indexPath, const IndexEntry& entry, const QDateTime& now,
                     const QString& homePage, QString* error) {
    IndexPageWriter writer(indexPath, now, homePage);
    return writer.append(entry, error) && writer.flush(error);
}

} // namespace parcelo
