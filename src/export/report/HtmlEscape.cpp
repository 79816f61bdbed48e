// SPDX-License-Identifier: GPL-3.0-or-later
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

template <typename Escape>
void AppendEscaped(QByteArray* out, QByteArrayView utf8, Escape escapeOf) {
    qsizetype plain = 0; // start of the run of bytes kept as they are
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        const QLatin1StringView escape = escapeOf(static_cast<unsigned char>(utf8[i]));
        if (escape.isEmpty())
            continue;
        out->append(utf8.sliced(plain, i - plain));
        out->append(escape.data(), escape.size());
        plain = i + 1;
    }
    out->append(utf8.sliced(plain));
}

QLatin1StringView TextEscape(char16_t c) {
    switch (c) {
    case u'<':
        return QLatin1StringView("&lt;");
    case u'>':
        return QLatin1StringView("&gt;");
    case u'&':
        return QLatin1StringView("&amp;");
    case u'"':
        return QLatin1StringView("&quot;");
    default:
        return {};
    }
}

} // namespace

void AppendHtmlEscapedAddress(QByteArray* out, QByteArrayView utf8) {
    AppendEscaped(out, utf8, AddressEscape);
}

void AppendHtmlEscapedText(QByteArray* out, QByteArrayView utf8) {
    AppendEscaped(out, utf8, TextEscape);
}

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
