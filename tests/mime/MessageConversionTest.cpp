// SPDX-License-Identifier: GPL-3.0-or-later
#include "mime/MessageConversion.h"

#include <gtest/gtest.h>
#include <string>

using namespace parcelo;

namespace {

const std::string kLeading = "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=\"utf-8\"\r\n";

} // namespace

TEST(ParseMessageSource, PlainSourceGetsTheTwoLeadingFields) {
    const std::string source = "From: a@x\r\nSubject:hello\r\n\r\nbody line\r\n";
    const auto message = ParseMessageSource(source);
    EXPECT_EQ(message->GetMediaType(), MEDIA_TEXT);
    EXPECT_EQ(message->StoreToString(), kLeading + source);
    std::string bytes = "room used again";
    ASSERT_TRUE(MessageFileBytes(*message, bytes));
    EXPECT_EQ(bytes, message->StoreToString() + "\r\n\r\n");
}

TEST(ParseMessageSource, SourceFieldsReplaceTheLeadingOnesInTheFile) {
    const std::string body = "preamble\r\n--b\r\nContent-Type: text/plain\r\n\r\nhi\r\n"
                             "--b\r\nContent-Type: application/pdf; name=a.pdf\r\n"
                             "Content-Transfer-Encoding: base64\r\n\r\nJVBERi0=\r\n--b--\r\n";
    const std::string source = "From: a@x\r\nMIME-Version: 1.0\r\n"
                               "Content-Type: multipart/mixed; boundary=b\r\n\r\n" +
                               body;
    const auto message = ParseMessageSource(source);
    // In memory the leading text/plain field still comes first, as every look-up expects.
    EXPECT_EQ(message->GetMediaType(), MEDIA_TEXT);
    EXPECT_EQ(message->Fields().size(), 5u);
    EXPECT_TRUE(message->Parts().empty());
    // The file has one Content-Type, the source's, and the body byte for byte.
    EXPECT_EQ(message->StoreToString(), source);
    EXPECT_GE(message->GetLength(), source.size());

    const std::string onlyVersion = "MIME-Version: 1.0\r\n\r\nx";
    EXPECT_EQ(ParseMessageSource(onlyVersion)->StoreToString(),
              "Content-Type: text/plain; charset=\"utf-8\"\r\nMIME-Version: 1.0\r\n\r\nx");
    const std::string onlyType = "content-type: text/html\r\n\r\nx";
    EXPECT_EQ(ParseMessageSource(onlyType)->StoreToString(),
              "MIME-Version: 1.0\r\ncontent-type: text/html\r\n\r\nx");
}

TEST(ParseMessageSource, Base64ContentComesOutAsItCame) {
    std::string data;
    for (int i = 0; i < 100; ++i)
        data += "0123456789";
    const std::string source = "Content-Transfer-Encoding: base64\r\n\r\n"
                               "MDEyMzQ1Njc4OTAxMjM0NTY3ODk=\r\n";
    const auto message = ParseMessageSource(source);
    EXPECT_EQ(message->GetContent(), "01234567890123456789");
    EXPECT_EQ(message->StoreToString(),
              kLeading +
                  "Content-Transfer-Encoding: base64\r\n\r\nMDEyMzQ1Njc4OTAxMjM0NTY3ODk=\r\n");

    const std::string longSource = "Content-Transfer-Encoding: base64\r\n\r\n"
                                   "MDEy "
                                   "MzQ1\r\nNjc4OTAx\tMjM0NTY3ODkwMTIzNDU2Nzg5MDEyMzQ1Njc4OTAxMjM0N"
                                   "TY3ODkwMTIzNDU2Nzg5MDEyMzQ1Njc4OQ==\r\n";
    const auto longMessage = ParseMessageSource(longSource);
    EXPECT_EQ(longMessage->GetContent(), data.substr(0, 70));
    EXPECT_EQ(longMessage->StoreToString(), kLeading + longSource);
}

TEST(ParseMessageSource, HeaderWithoutLineEndKeepsItsLastField) {
    const auto message = ParseMessageSource("Subject: x\r\nFrom: cut off");
    EXPECT_EQ(message->StoreToString(), kLeading + "Subject: x\r\nFrom: cut off\r\n\r\n");
}

// A message that cannot be stored gives no file bytes, not a file of two empty lines.
TEST(MessageFileBytes, AMessageThatCannotBeStoredGivesNothing) {
    const auto message = ParseMessageSource("Subject: s\r\n\r\nbody\r\n");
    message->AddPart("text"); // parts, and no boundary to put between them
    std::string bytes = "room used again";
    EXPECT_FALSE(MessageFileBytes(*message, bytes));
    EXPECT_TRUE(bytes.empty());
}

TEST(ExtractHeaderValues, LastFieldWinsAndFoldingStays) {
    const auto message = ParseMessageSource("Date: first\r\nTo: t@x\r\ncc: c@x\r\nBcc: b@x\r\n"
                                            "DATE: second\r\nFrom: Name\r\n <n@x>\r\n\r\n");
    const HeaderValues values = ExtractHeaderValues(*message);
    EXPECT_EQ(values.Date, QStringLiteral("second"));
    EXPECT_EQ(values.From, QStringLiteral("Name\r\n <n@x>"));
    EXPECT_EQ(values.To, QStringLiteral("t@x"));
    EXPECT_EQ(values.CC, QStringLiteral("c@x"));
    EXPECT_EQ(values.BCC, QStringLiteral("b@x"));
    const HeaderValues none = ExtractHeaderValues(*ParseMessageSource("Subject: s\r\n\r\n"));
    EXPECT_TRUE(none.From.isEmpty());
    EXPECT_TRUE(none.Date.isEmpty());
}

TEST(ExtractHeaderValues, ConvertsWithTheCharsetOfTheEncodedWords) {
    struct Case {
        const char* from;
        QString expected;
    } cases[] = {
        {"=?ISO-8859-1?Q?J=F6rg?= <j@x>", QStringLiteral("J\u00f6rg <j@x>")},
        {"=?koi8-r?B?8NLJ18XU?= <p@x>",
         QStringLiteral("\u041f\u0440\u0438\u0432\u0435\u0442 <p@x>")},
        {"=?windows-1252?Q?=80uro?= <e@x>", QStringLiteral("\u20acuro <e@x>")},
        {"=?utf-8?B?w6k=?= <u@x>", QStringLiteral("\u00e9 <u@x>")},
        // Raw text is UTF-8, or windows-1252 when it is not valid UTF-8.
        {"J\xC3\xB6rg <j@x>", QStringLiteral("J\u00f6rg <j@x>")},
        {"J\xF6rg <j@x>", QStringLiteral("J\u00f6rg <j@x>")},
        // Two charsets in one value, and raw text beside a word.
        {"=?koi8-r?B?8NLJ18XU?= =?iso-8859-1?Q?J=F6rg?= <p@x>",
         QStringLiteral("\u041f\u0440\u0438\u0432\u0435\u0442J\u00f6rg <p@x>")},
        {"Gr\xC3\xBC\xC3\x9F"
         "e =?iso-8859-1?Q?M=FCnchen?= <m@x>",
         QStringLiteral("Gr\u00fc\u00dfe M\u00fcnchen <m@x>")},
        // An RFC 2231 language tag names no other charset.
        {"=?ISO-8859-1*de?Q?J=FCrgen?= <j@x>", QStringLiteral("J\u00fcrgen <j@x>")},
        // A charset nobody knows: the word stays as it stands.
        {"=?x-unknown?Q?=C3=A9?= <x@x>", QStringLiteral("=?x-unknown?Q?=C3=A9?= <x@x>")},
        // A byte the charset cannot convert does not lose the rest.
        {"=?utf-8?Q?a=FFb?= <b@x>", QStringLiteral("a\ufffdb <b@x>")},
    };
    for (const auto& c : cases) {
        const auto message = ParseMessageSource(std::string("From: ") + c.from + "\r\n\r\n");
        EXPECT_EQ(ExtractHeaderValues(*message).From, c.expected) << c.from;
    }
}
