// SPDX-License-Identifier: GPL-3.0-or-later
// Attributes and insertions of XmlDoc: every edit changes the text in place and moves the
// offsets of the index with it.
#include "filters/XmlDoc.h"
#include "filters/XmlEscape.h"
#include "filters/XmlNodeScanner.h"

namespace parcelo {

namespace {

const QString kLineEnd = QStringLiteral("\r\n");

struct AttributeSpan {
    bool found = false;
    qsizetype nameEnd = 0;
    qsizetype valueStart = 0; // the opening quote of a quoted value
    qsizetype valueEnd = 0;   // past the closing quote
    bool hasValue = false;
    bool quoted = false;
};

// Looks for the attribute in a start tag, from after the tag name up to limit (the tag's
// closing "/>" or ">"), so a stray quote never reaches into the next element.
AttributeSpan findAttribute(const QString& text, qsizetype pos, qsizetype limit, QStringView name) {
    auto isNameEnd = [](QChar c) {
        return IsXmlSpace(c) || c == u'=' || c == u'>' || c == u'/' || c == u'?';
    };
    while (pos < limit) {
        while (pos < limit && IsXmlSpace(text[pos]))
            ++pos;
        if (pos >= limit || text[pos] == u'/' || text[pos] == u'>' || text[pos] == u'?')
            break;
        const qsizetype nameStart = pos;
        while (pos < limit && !isNameEnd(text[pos]))
            ++pos;
        AttributeSpan span;
        span.nameEnd = pos;
        const bool wanted = QStringView(text).mid(nameStart, pos - nameStart) == name;
        qsizetype after = pos;
        while (after < limit && IsXmlSpace(text[after]))
            ++after;
        if (after < limit && text[after] == u'=') {
            ++after;
            while (after < limit && IsXmlSpace(text[after]))
                ++after;
            span.hasValue = true;
            span.valueStart = after;
            if (after < limit && (text[after] == u'"' || text[after] == u'\'')) {
                span.quoted = true;
                const QChar quote = text[after];
                qsizetype end = after + 1;
                while (end < limit && text[end] != quote)
                    ++end;
                span.valueEnd = end < limit ? end + 1 : limit;
            } else {
                qsizetype end = after;
                while (end < limit && !IsXmlSpace(text[end]) && text[end] != u'>')
                    ++end;
                span.valueEnd = end;
            }
            pos = span.valueEnd;
        }
        if (wanted) {
            span.found = true;
            return span;
        }
        if (pos == nameStart)
            ++pos;
    }
    return {};
}

QString elementText(const QString& name, const QString& value) {
    if (value.isEmpty())
        return QLatin1Char('<') + name + QStringLiteral("/>") + kLineEnd;
    return QLatin1Char('<') + name + QLatin1Char('>') + EscapeXmlText(value) +
           QStringLiteral("</") + name + QLatin1Char('>') + kLineEnd;
}

} // namespace

// Where the attributes of a start tag end: before its "/>" or ">".
qsizetype XmlDoc::startTagContentEnd(int index) const {
    const ElementEntry& e = entries_[size_t(index)];
    return e.start + e.startTagLength - ((e.flags & EmptyTag) ? 2 : 1);
}

QString XmlDoc::GetAttribute(int index, const QString& name) const {
    if (index <= 0 || index >= EntryCount())
        return QString();
    const ElementEntry& e = entries_[size_t(index)];
    const AttributeSpan span =
        findAttribute(text_, e.start + 1 + e.nameLength, startTagContentEnd(index), name);
    if (!span.found || !span.hasValue)
        return QString();
    qsizetype from = span.valueStart;
    qsizetype to = span.valueEnd;
    if (span.quoted) {
        ++from;
        if (to > from && text_[to - 1] == text_[span.valueStart])
            --to;
    }
    return DecodeXmlEntities(text_.mid(from, to - from));
}

bool XmlDoc::SetAttribute(int index, const QString& name, int value) {
    return SetAttribute(index, name, QString::number(value));
}

bool XmlDoc::SetAttribute(int index, const QString& name, const QString& value) {
    if (index <= 0 || index >= EntryCount())
        return false;
    const ElementEntry& e = entries_[size_t(index)];
    const qsizetype limit = startTagContentEnd(index);
    const AttributeSpan span = findAttribute(text_, e.start + 1 + e.nameLength, limit, name);
    const QString quoted = QLatin1Char('"') + EscapeXmlAttribute(value) + QLatin1Char('"');
    if (span.found && span.hasValue)
        replaceText(span.valueStart, span.valueEnd - span.valueStart, quoted, index);
    else if (span.found)
        replaceText(span.nameEnd, 0, QLatin1Char('=') + quoted, index);
    else
        replaceText(limit, 0, QLatin1Char(' ') + name + QLatin1Char('=') + quoted, index);
    return true;
}

// Replaces part of the text at pos, inside the element `enclosing` (or its start tag), and
// moves every later element and the lengths of the enclosing ones.
void XmlDoc::replaceText(qsizetype pos, qsizetype removed, const QString& inserted, int enclosing) {
    text_.replace(pos, removed, inserted);
    const qsizetype delta = inserted.size() - removed;
    for (size_t i = 1; i < entries_.size(); ++i) {
        if (entries_[i].start >= pos && int(i) != enclosing)
            entries_[i].start += delta;
    }
    if (enclosing != 0 && pos < entry(enclosing).start + entry(enclosing).startTagLength)
        entry(enclosing).startTagLength += delta;
    for (int e = enclosing; e != 0; e = entry(e).parent) {
        // An element without end tag spans only its start tag, whatever follows it.
        ElementEntry& element = entry(e);
        element.length =
            (element.flags & NeverEnded) ? element.startTagLength : element.length + delta;
    }
    entry(0).length = text_.size();
}

bool XmlDoc::AddElement(const QString& name, const QString& value) {
    main_ = insertElement(parent_, main_, name, value);
    child_ = 0;
    return true;
}

bool XmlDoc::AddChildElement(const QString& name, const QString& value) {
    if (main_ == 0)
        return false;
    child_ = insertElement(main_, child_, name, value);
    return true;
}

// Inserts a new element under parent, after the element `after` or, without one, as the
// last child, each element on a line of its own. Returns its index.
int XmlDoc::insertElement(int parent, int after, const QString& name, const QString& value) {
    const QString element = elementText(name, value);
    const qsizetype elementLength = element.size() - kLineEnd.size();
    const qsizetype nameLength = name.size();
    if (after != 0)
        parent = entry(after).parent;
    const ElementEntry p = entry(parent);
    qsizetype start = 0;
    if (after != 0) {
        const ElementEntry& sibling = entry(after);
        qsizetype pos = sibling.start + sibling.length;
        qsizetype next = pos;
        while (next < text_.size() && IsXmlSpace(text_[next]))
            ++next;
        if (next == text_.size() || text_[next] == u'<')
            pos = next;
        start = pos;
        replaceText(pos, 0, element, parent);
    } else if (parent == 0) {
        start = text_.size();
        replaceText(start, 0, element, 0);
    } else if (p.flags & EmptyTag) {
        // "<body/>" becomes "<body>", the new line, "</body>".
        const qsizetype slash = p.start + p.startTagLength - 2;
        const QString closing = QStringLiteral("</") + tagName(parent).toString();
        start = slash + 1 + kLineEnd.size();
        replaceText(slash, 1, QLatin1Char('>') + kLineEnd + element + closing, parent);
        ElementEntry& changed = entry(parent);
        changed.startTagLength = p.startTagLength - 1;
        changed.endTagLength = closing.size() + 1;
        changed.flags &= ~EmptyTag;
    } else if (p.endTagLength > 0 && p.length == p.startTagLength + p.endTagLength) {
        const qsizetype pos = p.start + p.startTagLength;
        start = pos + kLineEnd.size();
        replaceText(pos, 0, kLineEnd + element, parent);
    } else {
        start = p.start + p.length - p.endTagLength;
        replaceText(start, 0, element, parent);
    }

    const int index =
        newEntry(start, value.isEmpty() ? elementLength : nameLength + 2, nameLength, parent);
    ElementEntry& created = entry(index);
    created.length = elementLength;
    created.depth = parent == 0 ? 0 : entry(parent).depth + 1;
    if (value.isEmpty())
        created.flags |= EmptyTag;
    else
        created.endTagLength = nameLength + 3;
    if (after != 0)
        insertAfter(after, index);
    else
        appendChild(parent, index);
    return index;
}

} // namespace parcelo
