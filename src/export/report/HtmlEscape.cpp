// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/report/HtmlEscape.h"

#include <cstring>

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

// Measured first, then written in place: an entry has many escapes (each space of an address),
// and appending them one by one costs more than the text itself.
template <typename Escape>
void AppendEscaped(QByteArray* out, QByteArrayView utf8, Escape escapeOf) {
    qsizetype size = utf8.size();
    for (const char byte : utf8) {
        const qsizetype escaped = escapeOf(static_cast<unsigned char>(byte)).size();
        size += escaped > 0 ? escaped - 1 : 0;
    }
    if (size == utf8.size()) {
        out->append(utf8);
        return;
    }
    const qsizetype start = out->size();
    out->resize(start + size);
    char* to = out->data() + start;
    for (const char byte : utf8) {
        const QLatin1StringView escape = escapeOf(static_cast<unsigned char>(byte));
        if (escape.isEmpty()) {
            *to++ = byte;
        } else {
            std::memcpy(to, escape.data(), size_t(escape.size()));
            to += escape.size();
        }
    }
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
