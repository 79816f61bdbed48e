// SPDX-License-Identifier: GPL-3.0-or-later
#include "filters/XmlEscape.h"

namespace parcelo {

namespace {

QString escape(const QString& text, bool quotes) {
    QString result;
    result.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'<':
            result += QStringLiteral("&lt;");
            break;
        case u'&':
            result += QStringLiteral("&amp;");
            break;
        case u'>':
            result += QStringLiteral("&gt;");
            break;
        case u'\'':
            result += quotes ? QStringLiteral("&apos;") : QStringLiteral("'");
            break;
        case u'"':
            result += quotes ? QStringLiteral("&quot;") : QStringLiteral("\"");
            break;
        default:
            result += c;
        }
    }
    return result;
}

int digitValue(QChar c, int base) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (base == 16 && u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (base == 16 && u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// A character reference "&#65;" or "&#x42;" at pos: its code unit and length, or length 0.
qsizetype numericReference(const QString& text, qsizetype pos, char16_t& unit) {
    if (pos + 1 >= text.size() || text[pos + 1] != u'#')
        return 0;
    const qsizetype found = QStringView(text).mid(pos + 2, 7).indexOf(u';');
    if (found < 0)
        return 0;
    const qsizetype semicolon = pos + 2 + found;
    qsizetype digits = pos + 2;
    int base = 10;
    if (digits < semicolon && text[digits] == u'x') {
        base = 16;
        ++digits;
    }
    if (digits == semicolon)
        return 0;
    quint32 value = 0;
    for (qsizetype i = digits; i < semicolon; ++i) {
        const int digit = digitValue(text[i], base);
        if (digit < 0)
            return 0;
        value = value * quint32(base) + quint32(digit);
    }
    unit = char16_t(value & 0xFFFF);
    return unit == 0 ? 0 : semicolon - pos + 1;
}

} // namespace

QString EscapeXmlText(const QString& text) {
    return escape(text, false);
}

QString EscapeXmlAttribute(const QString& text) {
    return escape(text, true);
}

QString DecodeXmlEntities(const QString& text) {
    static const struct {
        QStringView entity;
        QChar character;
    } named[] = {
        {u"&lt;", u'<'}, {u"&amp;", u'&'}, {u"&gt;", u'>'}, {u"&apos;", u'\''}, {u"&quot;", u'"'}};
    if (!text.contains(u'&'))
        return text;
    QString result;
    result.reserve(text.size());
    for (qsizetype pos = 0; pos < text.size();) {
        if (text[pos] != u'&') {
            result += text[pos++];
            continue;
        }
        const QStringView rest = QStringView(text).mid(pos);
        qsizetype used = 0;
        for (const auto& entry : named) {
            if (rest.startsWith(entry.entity)) {
                result += entry.character;
                used = entry.entity.size();
                break;
            }
        }
        char16_t unit = 0;
        if (used == 0 && (used = numericReference(text, pos, unit)) > 0)
            result += QChar(unit);
        if (used == 0) {
            result += text[pos];
            used = 1;
        }
        pos += used;
    }
    return result;
}

} // namespace parcelo
