// SPDX-License-Identifier: GPL-3.0-or-later
#include "filters/XmlDoc.h"

#include "filters/XmlNodeScanner.h"
#include "platform/SaveWholeFile.h"

#include <QFile>
#include <QStringDecoder>

namespace parcelo {

namespace {

// A filter set is a few kilobytes; this only keeps a wrong path (a device, a huge file)
// from exhausting memory.
constexpr qint64 kMaxFileBytes = 64 * 1024 * 1024;

QString joined(const QString& first, const QString& second) {
    if (first.isEmpty())
        return second;
    if (second.isEmpty())
        return first;
    return first + QStringLiteral(", ") + second;
}

} // namespace

XmlDoc::XmlDoc() {
    SetDocumentText(QString());
}

bool XmlDoc::SetDocumentText(const QString& text) {
    text_ = text;
    return parse(QString());
}

bool XmlDoc::LoadFile(const QString& path) {
    fileReadFailed_ = true;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result_ = file.errorString();
        return false;
    }
    if (!file.isSequential() && file.size() > kMaxFileBytes) {
        result_ = QStringLiteral("File is too large");
        return false;
    }
    QByteArray bytes;
    while (bytes.size() <= kMaxFileBytes) { // a pipe may give its bytes in pieces
        const QByteArray chunk = file.read(qMin<qint64>(1 << 20, kMaxFileBytes + 1 - bytes.size()));
        if (chunk.isEmpty())
            break;
        bytes += chunk;
    }
    if (file.error() != QFileDevice::NoError) {
        result_ = file.errorString();
        return false;
    }
    if (bytes.size() > kMaxFileBytes) {
        result_ = QStringLiteral("File is too large");
        return false;
    }
    fileReadFailed_ = false;
    // The declaration is not consulted and a byte-order mark is kept as a character.
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    text_ = decoder.decode(bytes);
    return parse(QStringLiteral("%1 bytes to %2 wide chars")
                     .arg(QString::number(bytes.size()), QString::number(text_.size())));
}

bool XmlDoc::SaveFile(const QString& path) {
    const QByteArray bytes = text_.toUtf8();
    if (!SaveWholeFile(path, bytes, &result_))
        return false;
    result_ = QStringLiteral("%1 wide chars to %2 bytes")
                  .arg(QString::number(text_.size()), QString::number(bytes.size()));
    return true;
}

int XmlDoc::newEntry(qsizetype start, qsizetype tagLength, qsizetype nameLength, int parent) {
    ElementEntry element;
    element.start = start;
    element.length = tagLength;
    element.startTagLength = tagLength;
    element.nameLength = nameLength;
    element.parent = parent;
    entries_.push_back(element);
    return int(entries_.size() - 1);
}

void XmlDoc::appendChild(int parent, int child) {
    ElementEntry& p = entry(parent);
    ElementEntry& c = entry(child);
    c.parent = parent;
    c.nextSibling = 0;
    if (p.firstChild == 0) {
        p.firstChild = child;
        c.previousSibling = child;
        c.flags |= FirstChild;
        return;
    }
    ElementEntry& first = entry(p.firstChild);
    const int last = first.previousSibling;
    entry(last).nextSibling = child;
    c.previousSibling = last;
    first.previousSibling = child;
}

void XmlDoc::insertAfter(int sibling, int child) {
    ElementEntry& s = entry(sibling);
    ElementEntry& c = entry(child);
    c.parent = s.parent;
    c.previousSibling = sibling;
    c.nextSibling = s.nextSibling;
    if (s.nextSibling != 0)
        entry(s.nextSibling).previousSibling = child;
    else
        entry(entry(s.parent).firstChild).previousSibling = child;
    s.nextSibling = child;
}

// The element keeps only its start tag; its children follow it as siblings under its parent.
void XmlDoc::closeNeverEnded(int element) {
    ElementEntry& e = entry(element);
    e.length = e.startTagLength;
    e.flags |= NeverEnded;
    entry(0).flags |= IllFormed;
    const int first = e.firstChild;
    if (first == 0)
        return;
    const int last = entry(first).previousSibling;
    for (int c = first; c != 0; c = entry(c).nextSibling) {
        entry(c).parent = e.parent;
        entry(c).flags &= ~FirstChild;
    }
    const int next = e.nextSibling;
    e.firstChild = 0;
    e.nextSibling = first;
    entry(first).previousSibling = element;
    entry(last).nextSibling = next;
    if (next != 0)
        entry(next).previousSibling = last;
    else
        entry(entry(e.parent).firstChild).previousSibling = last;
}

QStringView XmlDoc::tagName(int index) const {
    const ElementEntry& e = entries_[size_t(index)];
    return QStringView(text_).mid(e.start + 1, e.nameLength);
}

QString XmlDoc::GetTagName(int index) const {
    if (index <= 0 || index >= EntryCount())
        return QString();
    return tagName(index).toString();
}

bool XmlDoc::parse(const QString& readMessage) {
    entries_.clear();
    entries_.reserve(size_t(text_.size() / 64 + 8));
    entries_.emplace_back();
    entries_[0].length = text_.size();
    ResetPosition();
    wellFormed_ = false;
    if (text_.isEmpty()) {
        result_ = joined(readMessage, QStringLiteral("Empty document"));
        return false;
    }

    QString message;
    auto note = [&message](const QString& problem) {
        if (message.isEmpty())
            message = problem;
    };
    // Open elements; entry 0 stays at the bottom.
    std::vector<int> open{0};
    XmlNodeScanner scanner(text_);
    while (!scanner.atEnd()) {
        const XmlNode node = scanner.next();
        switch (node.kind) {
        case XmlNode::StartTag:
        case XmlNode::EmptyTag: {
            const int element =
                newEntry(node.start, node.end - node.start, node.nameLength, open.back());
            appendChild(open.back(), element);
            if (node.kind == XmlNode::EmptyTag)
                entry(element).flags |= EmptyTag;
            else
                open.push_back(element);
            break;
        }
        case XmlNode::EndTag: {
            const QStringView name = QStringView(text_).mid(node.nameStart, node.nameLength);
            size_t match = open.size() - 1;
            while (match > 0 && tagName(open[match]) != name)
                --match;
            if (match == 0) {
                note(QStringLiteral("No start tag for end tag '%1' at offset %2")
                         .arg(name.toString(), QString::number(node.start + 1)));
                entry(0).flags |= IllFormed;
                break;
            }
            if (match != open.size() - 1) {
                const int innermost = open.back();
                note(QStringLiteral("End tag '%1' at offset %2 does not match start tag '%3' "
                                    "at offset %4")
                         .arg(name.toString(), QString::number(node.start + 1),
                              tagName(innermost).toString(),
                              QString::number(entry(innermost).start)));
                // Outermost first, so each child moves up only once.
                for (size_t i = match + 1; i < open.size(); ++i)
                    closeNeverEnded(open[i]);
                open.resize(match + 1);
            }
            ElementEntry& closed = entry(open.back());
            closed.length = node.end - closed.start;
            closed.endTagLength = node.end - node.start;
            open.pop_back();
            break;
        }
        case XmlNode::Error:
            entry(open.back()).flags |= BadMarkup;
            entry(0).flags |= IllFormed;
            note(node.message);
            break;
        default:
            break;
        }
    }
    if (open.size() > 1) {
        const int innermost = open.back();
        note(QStringLiteral("Element '%1' at offset %2 not ended")
                 .arg(tagName(innermost).toString(), QString::number(entry(innermost).start)));
        for (size_t i = 1; i < open.size(); ++i)
            closeNeverEnded(open[i]);
    }
    // Parents come before their children in the index, so one pass sets every depth.
    for (size_t i = 1; i < entries_.size(); ++i) {
        const int parent = entries_[i].parent;
        entries_[i].depth = parent == 0 ? 0 : entries_[size_t(parent)].depth + 1;
    }

    int topLevel = 0;
    for (int e = entries_[0].firstChild; e != 0; e = entries_[size_t(e)].nextSibling)
        ++topLevel;
    if (topLevel == 0)
        message = joined(message, QStringLiteral("No root element"));
    else if (topLevel > 1)
        message = joined(message, QStringLiteral("Root element has sibling"));
    result_ = joined(readMessage, message);
    wellFormed_ = topLevel == 1 && !(entries_[0].flags & IllFormed);
    return wellFormed_;
}

void XmlDoc::ResetPosition() {
    parent_ = 0;
    main_ = 0;
    child_ = 0;
}

bool XmlDoc::FindElement(const QString& name) {
    int candidate = main_ != 0 ? entry(main_).nextSibling : entry(parent_).firstChild;
    for (; candidate != 0; candidate = entry(candidate).nextSibling) {
        if (tagName(candidate) == name) {
            main_ = candidate;
            child_ = 0;
            return true;
        }
    }
    return false;
}

bool XmlDoc::EnterElement() {
    if (main_ == 0)
        return false;
    parent_ = main_;
    main_ = child_;
    child_ = 0;
    return true;
}

bool XmlDoc::LeaveElement() {
    if (parent_ == 0)
        return false;
    child_ = main_;
    main_ = parent_;
    parent_ = entry(parent_).parent;
    return true;
}

} // namespace parcelo
