// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace parcelo {

// One piece of an XML text, as the scanner delimits it.
struct XmlNode {
    enum Kind {
        WhiteSpace,
        Text,
        StartTag,
        EmptyTag,
        EndTag,
        ProcessingInstruction,
        Comment,
        CData,
        Doctype,
        Declaration,
        Error // bad markup or end of text inside a node; see message
    };
    Kind kind = Text;
    qsizetype start = 0;
    qsizetype end = 0; // one past the node's last character
    qsizetype nameStart = 0;
    qsizetype nameLength = 0; // tags only
    QString message;          // errors only
};

// Splits a text into nodes, each starting where the previous one ended. It never fails:
// bad markup becomes an error node and scanning goes on after it.
class XmlNodeScanner {
public:
    explicit XmlNodeScanner(const QString& text) : text_(text) {}

    bool atEnd() const { return pos_ >= text_.size(); }
    XmlNode next();

private:
    XmlNode scanMarkup(qsizetype start);
    XmlNode scanTag(qsizetype start);
    XmlNode scanEndTag(qsizetype start);
    XmlNode scanBang(qsizetype start);
    XmlNode scanDoctype(qsizetype start);
    XmlNode until(XmlNode::Kind kind, qsizetype start, qsizetype from, QStringView terminator,
                  const char* what) const;
    XmlNode incorrect(qsizetype start, const char* what) const;
    XmlNode unterminated(qsizetype start, const char* what) const;
    qsizetype nameEnd(qsizetype from) const;

    const QString& text_;
    qsizetype pos_ = 0;
};

bool IsXmlSpace(QChar c);

} // namespace parcelo
