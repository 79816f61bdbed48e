// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/report/HtmlEscape.h"

#include <array>
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

// The escape of each byte, looked up: an entry has many escapes (each space of an address),
// so the escaped size is measured first and the bytes written in place.
struct EscapeTable {
    std::array<QLatin1StringView, 256> of;
    std::array<quint8, 256> growth{}; // the bytes the escape adds
};

template <typename Escape> EscapeTable TableOf(Escape escapeOf) {
    EscapeTable table;
    for (int c = 0; c < 256; ++c) {
        table.of[size_t(c)] = escapeOf(char16_t(c));
        if (!table.of[size_t(c)].isEmpty())
            table.growth[size_t(c)] = quint8(table.of[size_t(c)].size() - 1);
    }
    return table;
}

void AppendEscaped(QByteArray* out, QByteArrayView utf8, const EscapeTable& table) {
    qsizetype size = utf8.size();
    for (const char byte : utf8)
        size += table.growth[static_cast<unsigned char>(byte)];
    if (size == utf8.size()) {
        out->append(utf8);
        return;
    }
    const qsizetype start = out->size();
    out->resize(start + size);
    char* to = out->data() + start;
    for (const char byte : utf8) {
        const QLatin1StringView escape = table.of[static_cast<unsigned char>(byte)];
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
    static const EscapeTable table = TableOf(AddressEscape);
    AppendEscaped(out, utf8, table);
}

void AppendHtmlEscapedText(QByteArray* out, QByteArrayView utf8) {
    static const EscapeTable table = TableOf(TextEscape);
    AppendEscaped(out, utf8, table);
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
