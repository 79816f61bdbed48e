// SPDX-License-Identifier: GPL-3.0-or-later
#include "mime/CMimeHeader.h"
#include "mime/CMimeMessage.h"

#include <gtest/gtest.h>
#include <string>

using namespace parcelo;

namespace {

std::string RoundTripField(const std::string& line, CMimeHeaderField* loaded = nullptr) {
    CMimeHeaderField field;
    const std::ptrdiff_t n = field.Load(line.data(), line.size());
    EXPECT_EQ(n, static_cast<std::ptrdiff_t>(line.size())) << line;
    if (loaded)
        *loaded = field;
    std::string out;
    field.Store(out);
    EXPECT_GE(field.GetLength(), out.size());
    return out;
}

} // namespace

TEST(HeaderField, StoresTheSourceBytesOfALoadedField) {
    struct Case {
        const char* source;
        const char* name;
        const char* value;
        const char* stored;
    } cases[] = {
        {"Subject: hi\r\n", "Subject", "hi", "Subject: hi\r\n"},
        {"Subject:hi\r\n", "Subject", "hi", "Subject:hi\r\n"},
        {"Subject: \t  hi \r\n", "Subject", "hi ", "Subject: \t  hi \r\n"},
        {":empty name\r\n", "", "empty name", ":empty name\r\n"},
        {"Subject : x\r\n", "Subject", "x", "Subject : x\r\n"},
        {"From a@x Sat Jan  3 01:05:34 1996\r\n", "", "From a@x Sat Jan  3 01:05:34 1996",
         "From a@x Sat Jan  3 01:05:34 1996\r\n"},
        {"From: a\r\n b\r\n", "From", "a\r\n b", "From: a\r\n b\r\n"},
        {"Subject: =?utf-8?Q?caf=C3=A9?=\r\n", "Subject", "caf\xC3\xA9",
         "Subject: =?utf-8?Q?caf=C3=A9?=\r\n"},
        {"Subject: =?ISO-8859-1?Q?caf=E9?=\r\n\t=?ISO-8859-1?Q?_au_lait?=\r\n", "Subject",
         "caf\xC3\xA9 au lait",
         "Subject: =?ISO-8859-1?Q?caf=E9?=\r\n\t=?ISO-8859-1?Q?_au_lait?=\r\n"},
        {"Content-Type: text/plain;\r\n charset=us-ascii\r\n", "Content-Type",
         "text/plain;\r\n charset=us-ascii", "Content-Type: text/plain;\r\n charset=us-ascii\r\n"},
    };
    for (const auto& c : cases) {
        CMimeHeaderField field;
        EXPECT_EQ(RoundTripField(c.source, &field), c.stored);
        EXPECT_EQ(field.GetName(), c.name);
        EXPECT_EQ(field.GetValue(), c.value);
    }
    // A decoded value is UTF-8 whatever charsets its words named; once changed, the field is
    // encoded again with that charset.
    CMimeHeaderField encoded;
    RoundTripField("To: =?ISO-8859-1?Q?J=F6rg?= <j@x>\r\n", &encoded);
    EXPECT_EQ(encoded.GetValue(), "J\xC3\xB6rg <j@x>");
    EXPECT_EQ(encoded.GetCharset(), "utf-8");
    encoded.SetValue(encoded.GetValue() + ", b@x");
    std::string out;
    encoded.Store(out);
    EXPECT_EQ(out, "To: =?utf-8?B?SsO2cmc=?= <j@x>,\r\n\tb@x\r\n");
}

TEST(HeaderField, IncompleteBlankOrNonFieldLinesLoadNothing) {
    for (const std::string line :
         {"Subject: no line end", "\r\nSubject: x\r\n", "", "No colon here\r\n"}) {
        CMimeHeaderField field;
        EXPECT_EQ(field.Load(line.data(), line.size()), 0) << line;
    }
}

TEST(HeaderField, Parameters) {
    CMimeHeaderField field("Content-Type",
                           "text/plain; charset=\"utf-8\"; name=a.txt;format=flowed");
    EXPECT_EQ(field.GetParameter("charset"), "utf-8");
    EXPECT_EQ(field.GetParameter("NAME"), "a.txt");
    EXPECT_EQ(field.GetParameter("format"), "flowed");
    EXPECT_EQ(field.GetParameter("nam"), "");
    EXPECT_EQ(field.GetParameter("boundary"), "");
    std::size_t offset = 0;
    std::size_t length = 0;
    ASSERT_TRUE(field.FindParameter("charset", offset, length));
    EXPECT_EQ(field.GetValue().substr(offset, length), "\"utf-8\"");

    field.SetParameter("charset", "x");
    EXPECT_EQ(field.GetValue(), "text/plain; charset=\"x\"; name=a.txt;format=flowed");
    field.SetParameter("name", "\"b.txt\"");
    EXPECT_EQ(field.GetValue(), "text/plain; charset=\"x\"; name=\"b.txt\";format=flowed");
    field.SetParameter("delsp", "yes");
    EXPECT_EQ(field.GetValue(),
              "text/plain; charset=\"x\"; name=\"b.txt\";format=flowed; delsp=\"yes\"");
    CMimeHeaderField plain("Content-Type", "text/plain");
    plain.SetParameter("charset", "utf-8");
    EXPECT_EQ(plain.GetValue(), "text/plain; charset=\"utf-8\"");
    CMimeHeaderField odd("Content-Type", "a; =; b= ; c=\"open");
    EXPECT_EQ(odd.GetParameter("b"), "");
    EXPECT_EQ(odd.GetParameter("c"), ""); // an unclosed quote ends the token at once
}

TEST(Header, LoadKeepsDuplicatesAndDropsStrayLines) {
    const std::string source = " stray line\r\nA: 1\r\nB: 2\r\na: 3\r\n\r\nbody";
    CMimeHeader header;
    EXPECT_EQ(header.Load(source), static_cast<std::ptrdiff_t>(source.size() - 4));
    ASSERT_EQ(header.Fields().size(), 3u);
    EXPECT_EQ(header.FindField("a")->GetValue(), "1");
    EXPECT_EQ(header.Fields()[2].GetValue(), "3");
    EXPECT_EQ(header.GetFieldValue("missing"), "");
    EXPECT_EQ(header.StoreToString(), "A: 1\r\nB: 2\r\na: 3\r\n\r\n");

    header.SetField("b", "new", "utf-8");
    EXPECT_EQ(header.Fields()[1].GetName(), "b");
    EXPECT_EQ(header.Fields()[1].GetValue(), "new");
    header.SetField("C", "appended");
    EXPECT_EQ(header.Fields().back().GetName(), "C");
    EXPECT_EQ(header.GetMainType(), "text");
    header.SetField("Content-Type", "image/png; name=x");
    EXPECT_EQ(header.GetMainType(), "image");
    EXPECT_EQ(header.GetParameter("content-type", "name"), "x");
}

TEST(Header, StoreIntoABufferThatIsTooSmallWritesNothing) {
    CMimeHeader header;
    header.SetField("Subject", "hello");
    std::string buffer(header.GetLength(), '\0');
    const std::ptrdiff_t n = header.Store(buffer.data(), buffer.size());
    ASSERT_GT(n, 0);
    EXPECT_EQ(buffer.substr(0, std::size_t(n)), "Subject: hello\r\n\r\n");
    std::string small(5, 'x');
    EXPECT_EQ(header.Store(small.data(), small.size()), 0);
    EXPECT_EQ(small, "xxxxx");
}

TEST(Header, ALastFieldCutOffGetsItsLineEnd) {
    for (const std::string source : {"Subject: a\r\nTo: b", "Subject: a\r\nTo: b\r"}) {
        CMimeHeader header;
        EXPECT_GT(header.Load(source), 0);
        EXPECT_EQ(header.GetFieldValue("To"), "b");
        EXPECT_EQ(header.StoreToString(), "Subject: a\r\nTo: b\r\n\r\n");
    }
}
