// SPDX-License-Identifier: GPL-3.0-or-later
#include "filters/XmlNodeScanner.h"

namespace parcelo {

bool IsXmlSpace(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

namespace {

bool startsName(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'A' && u <= u'Z') || u == u':' || u == u'_' || u > u'`';
}

} // namespace

XmlNode XmlNodeScanner::next() {
    const qsizetype start = pos_;
    XmlNode node;
    if (text_[start] == u'<') {
        node = scanMarkup(start);
    } else {
        qsizetype end = text_.indexOf(u'<', start);
        if (end < 0)
            end = text_.size();
        node.kind = XmlNode::WhiteSpace;
        for (qsizetype i = start; i < end; ++i) {
            if (!IsXmlSpace(text_[i])) {
                node.kind = XmlNode::Text;
                break;
            }
        }
        node.start = start;
        node.end = end;
    }
    pos_ = node.end;
    return node;
}

XmlNode XmlNodeScanner::scanMarkup(qsizetype start) {
    if (start + 1 >= text_.size())
        return unterminated(start, "tag");
    const QChar c = text_[start + 1];
    if (c == u'/')
        return scanEndTag(start);
    if (c == u'?')
        return until(XmlNode::ProcessingInstruction, start, start + 2, u"?>",
                     "Processing instruction");
    if (c == u'!')
        return scanBang(start);
    if (startsName(c))
        return scanTag(start);
    return incorrect(start, "tag name character");
}

qsizetype XmlNodeScanner::nameEnd(qsizetype from) const {
    qsizetype i = from;
    while (i < text_.size() && !IsXmlSpace(text_[i]) && text_[i] != u'/' && text_[i] != u'>')
        ++i;
    return i;
}

XmlNode XmlNodeScanner::scanTag(qsizetype start) {
    const qsizetype nameStart = start + 1;
    const qsizetype afterName = nameEnd(nameStart);
    QChar quote;
    for (qsizetype i = afterName; i < text_.size(); ++i) {
        const QChar c = text_[i];
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == u'"' || c == u'\'') {
            quote = c;
        } else if (c == u'>') {
            XmlNode node;
            node.kind = XmlNode::StartTag;
            node.start = start;
            node.end = i + 1;
            node.nameStart = nameStart;
            node.nameLength = afterName - nameStart;
            const qsizetype slash = i - 1;
            if (slash >= afterName && text_[slash] == u'/') {
                const QChar before = text_[slash - 1];
                if (slash == afterName || IsXmlSpace(before) || before == u'"' || before == u'\'')
                    node.kind = XmlNode::EmptyTag;
            }
            return node;
        }
    }
    return unterminated(start, "Element tag");
}

XmlNode XmlNodeScanner::scanEndTag(qsizetype start) {
    const qsizetype close = text_.indexOf(u'>', start + 2);
    if (close < 0)
        return unterminated(start, "Element end tag");
    XmlNode node;
    node.kind = XmlNode::EndTag;
    node.start = start;
    node.end = close + 1;
    node.nameStart = start + 2;
    node.nameLength = nameEnd(start + 2) - node.nameStart;
    return node;
}

XmlNode XmlNodeScanner::scanBang(qsizetype start) {
    const QStringView rest = QStringView(text_).mid(start + 2);
    if (rest.isEmpty())
        return unterminated(start, "tag");
    switch (rest[0].unicode()) {
    case u'-':
        if (rest.size() < 2)
            return unterminated(start, "Comment");
        if (rest[1] != u'-')
            return incorrect(start, "comment tag");
        return until(XmlNode::Comment, start, start + 4, u"-->", "Comment");
    case u'[':
        if (rest.size() < 2)
            return unterminated(start, "tag");
        if (rest[1] != u'C')
            return incorrect(start, "tag");
        return until(XmlNode::CData, start, start + 3, u"]]>", "CDATA Section");
    case u'D':
        return scanDoctype(start);
    case u'E':
    case u'A':
    case u'N':
        return until(XmlNode::Declaration, start, start + 2, u">", "tag");
    default:
        return incorrect(start, "! tag");
    }
}

// Declarations, comments and processing instructions inside the document type are passed
// over; the first '>' outside them ends it.
XmlNode XmlNodeScanner::scanDoctype(qsizetype start) {
    for (qsizetype i = start + 3; i < text_.size();) {
        const QStringView rest = QStringView(text_).mid(i);
        XmlNode inner;
        if (rest[0] == u'>') {
            XmlNode node;
            node.kind = XmlNode::Doctype;
            node.start = start;
            node.end = i + 1;
            return node;
        }
        if (rest.startsWith(u"<!--")) {
            inner = until(XmlNode::Comment, i, i + 4, u"-->", "Comment");
        } else if (rest.startsWith(u"<?")) {
            inner =
                until(XmlNode::ProcessingInstruction, i, i + 2, u"?>", "Processing instruction");
        } else if (rest.startsWith(u"<!")) {
            const QChar c = rest.size() > 2 ? rest[2] : QChar();
            if (c != u'E' && c != u'A' && c != u'N')
                return incorrect(i, "! tag");
            inner = until(XmlNode::Declaration, i, i + 2, u">", "tag");
        } else {
            ++i;
            continue;
        }
        if (inner.kind == XmlNode::Error)
            return unterminated(start, "Doctype");
        i = inner.end;
    }
    return unterminated(start, "Doctype");
}

XmlNode XmlNodeScanner::until(XmlNode::Kind kind, qsizetype start, qsizetype from,
                              QStringView terminator, const char* what) const {
    const qsizetype found =
        from <= text_.size() ? QStringView(text_).indexOf(terminator, from) : -1;
    if (found < 0)
        return unterminated(start, what);
    XmlNode node;
    node.kind = kind;
    node.start = start;
    node.end = found + terminator.size();
    return node;
}

// Bad markup runs to the next '>' or to just before the next '<'.
XmlNode XmlNodeScanner::incorrect(qsizetype start, const char* what) const {
    XmlNode node;
    node.kind = XmlNode::Error;
    node.start = start;
    node.end = text_.size();
    for (qsizetype i = start + 1; i < text_.size(); ++i) {
        if (text_[i] == u'>') {
            node.end = i + 1;
            break;
        }
        if (text_[i] == u'<') {
            node.end = i;
            break;
        }
    }
    node.message = QStringLiteral("Incorrect %1 at offset %2")
                       .arg(QLatin1String(what), QString::number(start));
    return node;
}

XmlNode XmlNodeScanner::unterminated(qsizetype start, const char* what) const {
    XmlNode node;
    node.kind = XmlNode::Error;
    node.start = start;
    node.end = text_.size();
    node.message = QStringLiteral("%1 at offset %2 unterminated")
                       .arg(QLatin1String(what), QString::number(start));
    return node;
}

} // namespace parcelo
