// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/report/IndexPage.h"

#include "export/report/HtmlEscape.h"
#include "export/report/IndexPageWriter.h"
#include "platform/LocaleFormats.h"

#include <QUrl>
#include <array>
#include <cstring>

namespace parcelo {

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
    static const QByteArray beforeLink = [] {
        QByteArray text("<p><table><tr>");
        for (const char* title : {"Message", "Sender", "Date", "Recipient(s)"})
            text.append("<td width=\"300\"><i>").append(title).append("</i></td>");
        return text.append("</tr><tr><td><a href=\"");
    }();
    // Made in UTF-8 at once: the escapes are ASCII and leave the other bytes as they are.
    const auto mailto = [](QByteArray* out, const QByteArray& escapedAddress, auto appendText) {
        out->append("<a href=\"mailto:").append(escapedAddress).append("\">");
        appendText(out);
        out->append("</a>");
    };
    QByteArray escaped; // one buffer for the addresses in turn
    QByteArray text;
    text.reserve(1024);
    text.append("\">");
    AppendHtmlEscapedText(&text, entry.subject.toUtf8());
    text.append("</a></td><td>");
    AppendHtmlEscapedAddress(&escaped, entry.fromValue.toUtf8());
    mailto(&text, escaped,
           [&](QByteArray* out) { AppendHtmlEscapedText(out, entry.sender.toUtf8()); });
    text.append("</td><td>");
    AppendHtmlEscapedText(&text, entry.sentDateText.toUtf8());
    text.append("</td><td>");
    for (const QString* value : {&entry.toValue, &entry.ccValue, &entry.bccValue}) {
        if (value->isEmpty())
            continue;
        escaped.resize(0);
        AppendHtmlEscapedAddress(&escaped, value->toUtf8());
        mailto(&text, escaped, [&](QByteArray* out) { out->append(escaped); });
    }
    text.append("</td></tr></table></p><hr>\r\n");
    return {beforeLink, text};
}

namespace {

// What QUrl makes of a local file's path, fully encoded. A plain absolute path is encoded
// here, byte by byte as QUrl does, which is much faster; anything QUrl might read otherwise
// (a host, dot segments, a relative or odd path) is left to QUrl.
QByteArray FileUrl(const QString& path) {
    bool plain = path.startsWith(u'/') && !path.startsWith(u"//") && !path.contains(u"/.");
    for (qsizetype i = 0; plain && i < path.size(); ++i)
        plain = !path.at(i).isSurrogate();
    if (!plain)
        return QUrl::fromLocalFile(path).toEncoded(QUrl::FullyEncoded);
    static const char hex[] = "0123456789ABCDEF";
    static const auto encoded = [] {
        std::array<bool, 256> table{};
        for (int c = 0; c < 256; ++c)
            table[size_t(c)] = c <= 0x20 || c >= 0x7F || std::strchr("\"#%<>?\\^`{|}", c);
        return table;
    }();
    const QByteArray utf8 = path.toUtf8();
    QByteArray url(7 + utf8.size() * 3, Qt::Uninitialized);
    char* to = url.data();
    std::memcpy(to, "file://", 7);
    to += 7;
    for (const char byte : utf8) {
        const unsigned char c = static_cast<unsigned char>(byte);
        if (encoded[c]) {
            *to++ = '%';
            *to++ = hex[c >> 4];
            *to++ = hex[c & 15];
        } else {
            *to++ = byte;
        }
    }
    url.truncate(to - url.constData());
    return url;
}

} // namespace

QByteArray IndexFileLink(const QString& path) {
    QByteArray link;
    AppendIndexFileLink(&link, path);
    return link;
}

void AppendIndexFileLink(QByteArray* out, const QString& path) {
    AppendHtmlEscapedText(out, FileUrl(path));
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
