// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <vector>

namespace parcelo {

// A small, lenient XML document: the whole text plus an index of its elements, a current
// position (parent, main and child element) and in-place edits of that text. A damaged
// document still yields every element that could be delimited; ResultText() says what was
// wrong. Element index 0 stands for the document itself.
class XmlDoc {
public:
    enum EntryFlag {
        FirstChild = 0x1,
        NeverEnded = 0x2, // closed without an end tag; keeps only its start tag
        BadMarkup = 0x4,  // holds markup that could not be read
        IllFormed = 0x8,  // on entry 0: the document is not well-formed
        EmptyTag = 0x10,  // written as one tag ending in "/>"
    };

    struct ElementEntry {
        qsizetype start = 0;  // offset of the element's '<'
        qsizetype length = 0; // start tag to end of end tag; the start tag alone without one
        qsizetype startTagLength = 0;
        qsizetype endTagLength = 0;
        qsizetype nameLength = 0;
        int depth = 0; // top-level elements 0
        int flags = 0;
        int parent = 0;
        int firstChild = 0;
        int nextSibling = 0;
        int previousSibling = 0; // for a first child: the last sibling
    };

    XmlDoc();

    bool SetDocumentText(const QString& text);
    bool LoadFile(const QString& path);
    // True when the last LoadFile could not open or read its file (the document is unchanged).
    bool FileReadFailed() const { return fileReadFailed_; }
    bool SaveFile(const QString& path);
    const QString& GetDocumentText() const { return text_; }
    const QString& ResultText() const { return result_; }
    bool IsWellFormed() const { return wellFormed_; }

    void ResetPosition();
    bool FindElement(const QString& name);
    bool EnterElement();
    bool LeaveElement();
    bool AddElement(const QString& name, const QString& value = QString());
    bool AddChildElement(const QString& name, const QString& value = QString());
    int GetParentIndex() const { return parent_; }
    int GetMainIndex() const { return main_; }
    int GetChildIndex() const { return child_; }

    QString GetTagName(int index) const;
    QString GetAttribute(int index, const QString& name) const;
    bool SetAttribute(int index, const QString& name, const QString& value);
    bool SetAttribute(int index, const QString& name, int value);

    int EntryCount() const { return int(entries_.size()); }
    const ElementEntry& Entry(int index) const { return entries_[size_t(index)]; }

private:
    bool parse(const QString& readMessage);
    int newEntry(qsizetype start, qsizetype tagLength, qsizetype nameLength, int parent);
    void appendChild(int parent, int child);
    void insertAfter(int sibling, int child);
    void closeNeverEnded(int element);
    QStringView tagName(int index) const;
    qsizetype startTagContentEnd(int index) const;

    int insertElement(int parent, int after, const QString& name, const QString& value);
    void replaceText(qsizetype pos, qsizetype removed, const QString& inserted, int enclosing);

    ElementEntry& entry(int index) { return entries_[size_t(index)]; }

    QString text_;
    QString result_;
    std::vector<ElementEntry> entries_;
    int parent_ = 0;
    int main_ = 0;
    int child_ = 0;
    bool wellFormed_ = false;
    bool fileReadFailed_ = false;
};

} // namespace parcelo
