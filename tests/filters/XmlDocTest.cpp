// SPDX-License-Identifier: GPL-3.0-or-later
#include "filters/XmlDoc.h"

#include "filters/XmlEscape.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using parcelo::XmlDoc;

namespace {

QString doc(const char* text) {
    return QString::fromUtf8(text);
}

} // namespace

TEST(XmlDoc, FindElementWalksSiblingsAndStaysOnTheLast) {
    XmlDoc xml;
    ASSERT_TRUE(xml.SetDocumentText(doc("<?xml version=\"1.0\"?>\r\n<filters><head/><body>"
                                        "<filter n=\"1\"/><other/><filter n=\"2\"/></body>"
                                        "</filters>")));
    EXPECT_FALSE(xml.EnterElement()); // no main element yet
    ASSERT_TRUE(xml.FindElement("filters"));
    ASSERT_TRUE(xml.EnterElement());
    ASSERT_TRUE(xml.FindElement("body"));
    ASSERT_TRUE(xml.EnterElement());
    ASSERT_TRUE(xml.FindElement("filter"));
    EXPECT_EQ(xml.GetAttribute(xml.GetMainIndex(), "n"), "1");
    ASSERT_TRUE(xml.FindElement("filter"));
    const int last = xml.GetMainIndex();
    EXPECT_EQ(xml.GetAttribute(last, "n"), "2");
    EXPECT_FALSE(xml.FindElement("filter"));
    EXPECT_EQ(xml.GetMainIndex(), last);
    EXPECT_EQ(xml.Entry(last).depth, 2);

    // Leaving body puts the position back on it, and the search goes on after it.
    ASSERT_TRUE(xml.LeaveElement());
    EXPECT_EQ(xml.GetTagName(xml.GetMainIndex()), "body");
    EXPECT_EQ(xml.GetChildIndex(), last);
    ASSERT_TRUE(xml.LeaveElement());
    EXPECT_FALSE(xml.LeaveElement());
    EXPECT_FALSE(xml.FindElement("filters")); // the root has no sibling
    xml.ResetPosition();
    EXPECT_TRUE(xml.FindElement("filters"));
    EXPECT_FALSE(xml.FindElement("Filters")); // names compare case-sensitively
}

TEST(XmlDoc, MismatchedEndTagClosesInnerElementAsNeverEnded) {
    XmlDoc xml;
    EXPECT_FALSE(xml.SetDocumentText(doc("<a><b></a>")));
    EXPECT_EQ(xml.ResultText(), "End tag 'a' at offset 7 does not match start tag 'b' at offset 3");
    ASSERT_TRUE(xml.FindElement("a"));
    const XmlDoc::ElementEntry& a = xml.Entry(xml.GetMainIndex());
    EXPECT_EQ(a.length, 10);
    ASSERT_TRUE(xml.EnterElement());
    ASSERT_TRUE(xml.FindElement("b"));
    const XmlDoc::ElementEntry& b = xml.Entry(xml.GetMainIndex());
    EXPECT_EQ(b.start, 3);
    EXPECT_EQ(b.length, 3);
    EXPECT_EQ(b.endTagLength, 0);
    EXPECT_EQ(b.firstChild, 0);
    EXPECT_TRUE(b.flags & XmlDoc::NeverEnded);
    EXPECT_TRUE(xml.Entry(0).flags & XmlDoc::IllFormed);
}

TEST(XmlDoc, ChildrenOfNeverEndedElementsBecomeTheirSiblings) {
    XmlDoc xml;
    EXPECT_FALSE(xml.SetDocumentText(doc("<r><p><q><c/><d/></r>")));
    EXPECT_EQ(xml.ResultText(),
              "End tag 'r' at offset 18 does not match start tag 'q' at offset 6");
    ASSERT_TRUE(xml.FindElement("r"));
    ASSERT_TRUE(xml.EnterElement());
    QStringList names;
    for (int e = xml.Entry(xml.GetParentIndex()).firstChild; e != 0; e = xml.Entry(e).nextSibling) {
        names << xml.GetTagName(e);
        EXPECT_EQ(xml.Entry(e).depth, 1);
        EXPECT_EQ(xml.Entry(e).parent, xml.GetParentIndex());
    }
    EXPECT_EQ(names, QStringList({"p", "q", "c", "d"}));
    // The last sibling is reachable from the first, as new elements are linked after it.
    EXPECT_EQ(xml.GetTagName(xml.Entry(xml.Entry(xml.GetParentIndex()).firstChild).previousSibling),
              "d");
}

TEST(XmlDoc, ProblemMessagesAndOffsets) {
    const struct {
        const char* text;
        const char* result;
        bool wellFormed;
    } cases[] = {
        {"", "Empty document", false},
        {"<?xml version=\"1.0\"?>\r\n", "No root element", false},
        {"<a/><b/>", "Root element has sibling", false},
        {"<a>", "Element 'a' at offset 0 not ended", false},
        {"<filters>\r\n<body>\r\n<filter/>",
         "Element 'body' at offset 11 not ended, Root element has sibling", false},
        {"<a></b></a>", "No start tag for end tag 'b' at offset 4", false},
        {"<a>< b</a>", "Incorrect tag name character at offset 3", false},
        {"<a><!x></a>", "Incorrect ! tag at offset 3", false},
        {"<a><!-x></a>", "Incorrect comment tag at offset 3", false},
        {"<a><![x></a>", "Incorrect tag at offset 3", false},
        {"<a><!-- open", "Comment at offset 3 unterminated", false},
        {"<a><![CDATA[ x", "CDATA Section at offset 3 unterminated", false},
        {"<?xml ", "Processing instruction at offset 0 unterminated, No root element", false},
        {"<!DOCTYPE a [<!ENTITY x \"y\">", "Doctype at offset 0 unterminated, No root element",
         false},
        {"<a x=\"1>", "Element tag at offset 0 unterminated, No root element", false},
        {"<a></a", "Element end tag at offset 3 unterminated", false},
        {"<a><", "tag at offset 3 unterminated", false},
        {"text <!DOCTYPE a [<!ENTITY x \"y\"><!-- > -->]><!-- c --><a t='>'><![CDATA[<b>]]></a> "
         "tail",
         "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        XmlDoc xml;
        EXPECT_EQ(xml.SetDocumentText(doc(c.text)), c.wellFormed);
        EXPECT_EQ(xml.ResultText(), c.result);
    }
}

TEST(XmlDoc, EmptyTagNeedsSlashAfterNameSpaceOrQuote) {
    const struct {
        const char* text;
        bool empty;
    } cases[] = {{"<a/>", true},
                 {"<a />", true},
                 {"<a b=\"c\"/>", true},
                 {"<a b='c'/>", true},
                 {"<a b=c/>", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        XmlDoc xml;
        xml.SetDocumentText(doc(c.text));
        ASSERT_TRUE(xml.FindElement("a"));
        EXPECT_EQ(bool(xml.Entry(xml.GetMainIndex()).flags & XmlDoc::EmptyTag), c.empty);
    }
}

TEST(XmlDoc, GetAttributeDecodesEntities) {
    XmlDoc xml;
    xml.SetDocumentText(doc("<a v='a &amp; b &#65; &#x42; &zz; &#0;' q = \"x>y\" u=plain "
                            "n=\"&lt;&gt;&apos;&quot;&AMP;&#x1F600;&#12345678;\" bare/>"));
    ASSERT_TRUE(xml.FindElement("a"));
    const int a = xml.GetMainIndex();
    EXPECT_EQ(xml.GetAttribute(a, "v"), "a & b A B &zz; &#0;");
    EXPECT_EQ(xml.GetAttribute(a, "q"), "x>y");
    EXPECT_EQ(xml.GetAttribute(a, "u"), "plain");
    EXPECT_EQ(xml.GetAttribute(a, "n"), QString("<>'\"&AMP;") + QChar(0xF600) + "&#12345678;");
    EXPECT_EQ(xml.GetAttribute(a, "bare"), "");
    EXPECT_EQ(xml.GetAttribute(a, "V"), "");
    EXPECT_EQ(xml.GetAttribute(0, "v"), "");
    EXPECT_EQ(xml.GetAttribute(99, "v"), "");
}

TEST(XmlDoc, SetAttributeReplacesInPlaceOrAppendsInOrder) {
    XmlDoc xml;
    xml.SetDocumentText(doc("<r>\r\n<filter/>\r\n<x a='1' b=2 c=\"3\">t</x>\r\n</r>"));
    ASSERT_TRUE(xml.FindElement("r"));
    ASSERT_TRUE(xml.EnterElement());
    ASSERT_TRUE(xml.FindElement("filter"));
    const int filter = xml.GetMainIndex();
    EXPECT_TRUE(xml.SetAttribute(filter, "Criteria", 1));
    EXPECT_TRUE(xml.SetAttribute(filter, "ConjunctionOption", 0));
    EXPECT_TRUE(xml.SetAttribute(filter, "TextField", "a'b\"<&>"));
    ASSERT_TRUE(xml.FindElement("x"));
    const int x = xml.GetMainIndex();
    EXPECT_TRUE(xml.SetAttribute(x, "b", "two"));
    EXPECT_TRUE(xml.SetAttribute(x, "a", "one"));
    EXPECT_TRUE(xml.SetAttribute(x, "d", 4));
    EXPECT_FALSE(xml.SetAttribute(0, "a", 1));
    EXPECT_EQ(xml.GetDocumentText(), "<r>\r\n<filter Criteria=\"1\" ConjunctionOption=\"0\" "
                                     "TextField=\"a&apos;b&quot;&lt;&amp;&gt;\"/>\r\n"
                                     "<x a=\"one\" b=\"two\" c=\"3\" d=\"4\">t</x>\r\n</r>");
    EXPECT_EQ(xml.GetAttribute(filter, "TextField"), "a'b\"<&>");
    EXPECT_EQ(xml.GetAttribute(x, "c"), "3");

    // The index still matches the text: a fresh parse gives the same entries.
    XmlDoc fresh;
    ASSERT_TRUE(fresh.SetDocumentText(xml.GetDocumentText()));
    ASSERT_EQ(fresh.EntryCount(), xml.EntryCount());
    for (int i = 0; i < xml.EntryCount(); ++i) {
        EXPECT_EQ(fresh.Entry(i).start, xml.Entry(i).start) << i;
        EXPECT_EQ(fresh.Entry(i).length, xml.Entry(i).length) << i;
        EXPECT_EQ(fresh.Entry(i).startTagLength, xml.Entry(i).startTagLength) << i;
    }
}

TEST(XmlDoc, AddElementsWithTheLineLayout) {
    XmlDoc xml;
    xml.SetDocumentText(doc("<r/>"));
    ASSERT_TRUE(xml.FindElement("r"));
    ASSERT_TRUE(xml.AddChildElement("body")); // into an empty r/
    EXPECT_EQ(xml.GetDocumentText(), "<r>\r\n<body/>\r\n</r>");
    ASSERT_TRUE(xml.EnterElement()); // into r: the child position, body, becomes main
    EXPECT_EQ(xml.GetTagName(xml.GetMainIndex()), "body");
    ASSERT_TRUE(xml.EnterElement());
    EXPECT_EQ(xml.GetMainIndex(), 0);
    EXPECT_FALSE(xml.AddChildElement("none"));
    ASSERT_TRUE(xml.AddElement("filter"));
    ASSERT_TRUE(xml.AddElement("note", "a<b & c>d"));
    EXPECT_EQ(xml.GetDocumentText(),
              "<r>\r\n<body>\r\n<filter/>\r\n<note>a&lt;b &amp; c&gt;d</note>"
              "\r\n</body>\r\n</r>");

    XmlDoc pair;
    pair.SetDocumentText(doc("<a></a>"));
    ASSERT_TRUE(pair.FindElement("a"));
    ASSERT_TRUE(pair.AddChildElement("b"));
    ASSERT_TRUE(pair.AddChildElement("c", "v"));
    EXPECT_EQ(pair.GetDocumentText(), "<a>\r\n<b/>\r\n<c>v</c>\r\n</a>");
    EXPECT_TRUE(pair.SetDocumentText(pair.GetDocumentText()));
}

TEST(XmlDoc, EditsKeepTheIndexInStepWithTheText) {
    XmlDoc xml;
    xml.SetDocumentText(doc("<?xml version=\"1.0\"?>\r\n<r>\r\n<a/>\r\n<b>x</b>\r\n</r>\r\n"));
    ASSERT_TRUE(xml.FindElement("r"));
    ASSERT_TRUE(xml.EnterElement());
    ASSERT_TRUE(xml.FindElement("a"));
    ASSERT_TRUE(xml.AddElement("n1"));
    ASSERT_TRUE(xml.AddChildElement("c1", "v"));
    ASSERT_TRUE(xml.SetAttribute(xml.GetMainIndex(), "k", "long value"));
    xml.ResetPosition();
    ASSERT_TRUE(xml.FindElement("r"));
    ASSERT_TRUE(xml.AddChildElement("last"));
    ASSERT_TRUE(xml.SetAttribute(xml.GetChildIndex(), "z", 1));
    EXPECT_EQ(xml.GetDocumentText(),
              "<?xml version=\"1.0\"?>\r\n<r>\r\n<a/>\r\n<n1 k=\"long value\">"
              "\r\n<c1>v</c1>\r\n</n1>\r\n<b>x</b>\r\n<last z=\"1\"/>\r\n</r>\r\n");
    for (int i = 1; i < xml.EntryCount(); ++i) {
        const auto& e = xml.Entry(i);
        const QString name = xml.GetTagName(i);
        EXPECT_EQ(xml.GetDocumentText().mid(e.start, name.size() + 1), "<" + name) << i;
        EXPECT_EQ(xml.GetDocumentText()[e.start + e.length - 1], u'>') << i;
    }
}

TEST(XmlDoc, ElementWithoutEndTagKeepsSpanningItsStartTag) {
    XmlDoc xml;
    xml.SetDocumentText(doc("<a><b></a>"));
    ASSERT_TRUE(xml.FindElement("a"));
    ASSERT_TRUE(xml.EnterElement());
    ASSERT_TRUE(xml.FindElement("b"));
    const int b = xml.GetMainIndex();
    ASSERT_TRUE(xml.AddChildElement("c"));
    ASSERT_TRUE(xml.SetAttribute(b, "k", "v"));
    EXPECT_EQ(xml.GetDocumentText(), "<a><b k=\"v\"><c/>\r\n</a>");
    EXPECT_EQ(xml.Entry(b).length, xml.Entry(b).startTagLength);
    EXPECT_EQ(xml.Entry(b).length, 9);
    const XmlDoc::ElementEntry& a = xml.Entry(xml.GetParentIndex());
    EXPECT_EQ(a.length, xml.GetDocumentText().size());
}

TEST(XmlDoc, FilesAreUtf8WhateverTheDeclarationSays) {
    QTemporaryDir dir;
    const QString path = dir.filePath("latin2.xml");
    ASSERT_TRUE(parcelo::test::writeFile(
        path, "<?xml version=\"1.0\" encoding=\"ISO-8859-2\"?>\r\n<a v=\"\xE8\"/>\r\n"));
    XmlDoc xml;
    ASSERT_TRUE(xml.LoadFile(path));
    EXPECT_EQ(xml.ResultText(), "57 bytes to 57 wide chars");
    ASSERT_TRUE(xml.FindElement("a"));
    EXPECT_EQ(xml.GetAttribute(xml.GetMainIndex(), "v"), QString(QChar(0xFFFD)));

    xml.SetAttribute(xml.GetMainIndex(), "v", QString(QChar(0x010D))); // c with caron
    const QString saved = dir.filePath("saved.xml");
    ASSERT_TRUE(xml.SaveFile(saved));
    EXPECT_EQ(xml.ResultText(), "57 wide chars to 58 bytes");
    EXPECT_TRUE(parcelo::test::readFile(saved).contains("v=\"\xC4\x8D\""));

    ASSERT_TRUE(parcelo::test::writeFile(dir.filePath("empty.xml"), ""));
    EXPECT_FALSE(xml.LoadFile(dir.filePath("empty.xml")));
    EXPECT_EQ(xml.ResultText(), "0 bytes to 0 wide chars, Empty document");
}

TEST(XmlDoc, UnreadableFileLeavesTheDocumentAlone) {
    QTemporaryDir dir;
    XmlDoc xml;
    xml.SetDocumentText(doc("<kept/>"));
    EXPECT_FALSE(xml.LoadFile(dir.filePath("missing.xml")));
    EXPECT_FALSE(xml.ResultText().isEmpty());
    EXPECT_FALSE(xml.LoadFile(dir.path())); // a folder
    EXPECT_EQ(xml.GetDocumentText(), "<kept/>");
    EXPECT_FALSE(xml.SaveFile(dir.path()));
    EXPECT_FALSE(xml.SaveFile(dir.filePath("no/such/folder/x.xml")));
}

TEST(XmlEscape, EscapesTextAndAttributes) {
    EXPECT_EQ(parcelo::EscapeXmlText("<a & 'b' \"c\">"), "&lt;a &amp; 'b' \"c\"&gt;");
    EXPECT_EQ(parcelo::EscapeXmlAttribute("<a & 'b' \"c\">"),
              "&lt;a &amp; &apos;b&apos; &quot;c&quot;&gt;");
}
