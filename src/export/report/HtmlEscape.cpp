#include "export/report/HtmlEscape.h"

namespace parcelo {

QString HtmlEscapeAddress(const QString& text) {
    QString result;
    result.reserve(text.size());
    for (QChar c : text) {
        switch (c.unicode()) {
        case u'<':
            result += QLatin1String("&#60;");
            break;
        case u'>':
            result += QLatin1String("&#62;");
            break;
        case u'"':
            result += QLatin1String("&#34;");
            break;
        case u' ':
            result += QLatin1String("&#32;");
            break;
        case u'\'':
            result += QLatin1String("&#39;");
            break;
        case u'(':
            result += QLatin1String("&#40;");
            break;
        case u')':
            result += QLatin1String("&#41;");
            break;
        default:
            result += c;
        }
    }
    return result;
}

QString HtmlEscapeText(const QString& text) {
    return text.toHtmlEscaped();
}

} // namespace parcelo
