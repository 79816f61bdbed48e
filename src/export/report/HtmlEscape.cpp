#include "export/report/HtmlEscape.h"

namespace parcelo {

namespace {

QLatin1StringView AddressEscape(char16_t c) {
    switch (c) {
    case u'<':
        return QLatin1StringView("&#60;");
    case u'>':
        return QLatin1StringView("&#62;");
    case u'"':
        return QLatin1StringView("&#34;");
    case u' ':
        return QLatin1StringView("&#32;");
    case u'\'':
        return QLatin1StringView("&#39;");
    case u'(':
        return QLatin1StringView("&#40;");
    case u')':
        return QLatin1StringView("&#41;");
    default:
        return {};
    }
}

} // namespace

QString HtmlEscapeAddress(const QString& text) {
    QString result;
    result.reserve(text.size() + text.size() / 2);
    qsizetype plain = 0; // start of the run of characters kept as they are
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QLatin1StringView escape = AddressEscape(text.at(i).unicode());
        if (escape.isEmpty())
            continue;
        result.append(QStringView(text).sliced(plain, i - plain));
        result.append(escape);
        plain = i + 1;
    }
    result.append(QStringView(text).sliced(plain));
    return result;
}

QString HtmlEscapeText(const QString& text) {
    // Most texts have nothing to escape: they are handed back as they are, not rebuilt.
    for (QChar c : text)
        if (c == u'<' || c == u'>' || c == u'&' || c == u'"')
            return text.toHtmlEscaped();
    return text;
}

} // namespace parcelo
