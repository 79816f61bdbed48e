// SPDX-License-Identifier: GPL-3.0-or-later
// Parses arbitrary text with XmlDoc, reads every element and edits the document, checking
// after each step that the element index still points at the elements of the text.
#include "filters/XmlDoc.h"

#include <cstdint>
#include <cstdlib>

using parcelo::XmlDoc;

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

void checkIndex(const XmlDoc& doc) {
    const QString& text = doc.GetDocumentText();
    check(doc.Entry(0).length == text.size());
    for (int i = 1; i < doc.EntryCount(); ++i) {
        const XmlDoc::ElementEntry& e = doc.Entry(i);
        check(e.start >= 0 && e.length > 0 && e.start + e.length <= text.size());
        check(e.startTagLength > 0 && e.startTagLength + e.endTagLength <= e.length);
        check(text[e.start] == u'<' && text[e.start + e.startTagLength - 1] == u'>');
        check(text[e.start + e.length - 1] == u'>');
        check(e.parent >= 0 && e.parent < doc.EntryCount());
        int count = 0;
        for (int c = e.firstChild; c != 0; c = doc.Entry(c).nextSibling) {
            check(doc.Entry(c).parent == i);
            check(++count <= doc.EntryCount());
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    XmlDoc doc;
    doc.SetDocumentText(QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size)));
    checkIndex(doc);

    const QString names[] = {QStringLiteral("a"), QStringLiteral("filter"),
                             QStringLiteral("Criteria"), QStringLiteral("x")};
    for (int i = 0; i < doc.EntryCount(); ++i) {
        for (const QString& name : names)
            doc.GetAttribute(i, name);
        doc.GetTagName(i);
    }

    // Walk down the first branch, then edit around the position reached.
    doc.ResetPosition();
    for (int depth = 0;
         depth < 8 && doc.FindElement(doc.GetTagName(doc.Entry(doc.GetParentIndex()).firstChild));
         ++depth) {
        if (!doc.EnterElement())
            break;
    }
    const int edits = doc.EntryCount() < 50 ? doc.EntryCount() : 50;
    for (int i = 1; i < edits; ++i) {
        doc.SetAttribute(i, names[i % 4], QStringLiteral("v'\"<&>") + QString::number(i));
        checkIndex(doc);
    }
    doc.AddElement(QStringLiteral("filter"));
    doc.SetAttribute(doc.GetMainIndex(), QStringLiteral("Criteria"), 1);
    doc.AddChildElement(QStringLiteral("child"), QStringLiteral("value & more"));
    checkIndex(doc);
    doc.LeaveElement();
    doc.AddChildElement(QStringLiteral("tail"));
    doc.AddElement(QStringLiteral("after"));
    checkIndex(doc);
    return 0;
}
