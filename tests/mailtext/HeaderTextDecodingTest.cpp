// SPDX-License-Identifier: GPL-3.0-or-later
#include "mailtext/EncodedWords.h"
#include "mailtext/MailAddressList.h"
#include "mime/MessageConversion.h"
#include "store/header/HeaderSummary.h"
#include "store/header/MessageHeader.h"

#include <gtest/gtest.h>
#include <string>

using namespace parcelo;

namespace {

QString FromUtf8(const QByteArray& bytes) {
    return QString::fromUtf8(bytes);
}

} // namespace

// The store's message properties and the MIME model read header text with one decoder and one
// charset conversion, so every caller gives the same text for the same words.
TEST(HeaderTextDecoding, EveryCallerReadsTheSameText) {
    struct Case {
        const char* raw;
        const char* text;
    } cases[] = {
        {"=?ISO-8859-1*de?Q?J=FCrgen?=", "J\xC3\xBCrgen"},
        {"=?koi8-r?B?8NLJ18XU?= =?iso-8859-1?Q?J=F6rg?=",
         "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82J\xC3\xB6rg"},
        {"Gr\xC3\xBC\xC3\x9F"
         "e =?iso-8859-1?Q?M=FCnchen?=",
         "Gr\xC3\xBC\xC3\x9F"
         "e M\xC3\xBCnchen"},
        {"Gr\xFC\xDF"
         "e =?utf-8?Q?M=C3=BCnchen?=",
         "Gr\xC3\xBC\xC3\x9F"
         "e M\xC3\xBCnchen"},
        {"=?UTF-8?B?4oI=?= =?UTF-8?B?rA==?=", "\xE2\x82\xAC"},
        {"=?iso-2022-jp?B?GyRCJUslYyE8JXMbKEI=?=",
         "\xE3\x83\x8B\xE3\x83\xA3\xE3\x83\xBC\xE3\x83\xB3"},
        {"=?windows-1252?Q?=80uro?=", "\xE2\x82\xAC"
                                      "uro"},
        {"=?utf-8?q?caf=C3=A9_au_lait?=", "caf\xC3\xA9 au lait"},
        {"=?utf-8?Q?a?=  =?utf-8?Q?b?= c", "ab c"},
        {"=?x-unknown?Q?abc?=", "=?x-unknown?Q?abc?="},
        {"plain text", "plain text"},
    };
    for (const Case& c : cases) {
        const std::string raw = c.raw;
        const QString expected = QString::fromUtf8(c.text);
        const QByteArray rawBytes = QByteArray::fromStdString(raw);

        EXPECT_EQ(QString::fromStdString(DecodeHeaderText(raw).utf8), expected) << raw;
        // The store: decoded words, the subject property, the display name of an address.
        EXPECT_EQ(FromUtf8(DecodeEncodedWords(rawBytes)), expected) << raw;
        const MessageHeader header("Subject: " + rawBytes + "\r\nFrom: " + rawBytes +
                                   " <a@example.org>\r\n\r\n");
        const HeaderSummary summary = SummarizeHeader(header);
        EXPECT_EQ(FromUtf8(summary.normalSubject), expected) << raw;
        EXPECT_EQ(FromUtf8(summary.displayFrom), expected) << raw;
        EXPECT_EQ(FromUtf8(AddressDisplayNames(rawBytes + " <a@example.org>").value(0)), expected)
            << raw;
        // The MIME model: the field value as the index page shows it.
        const auto message =
            ParseMessageSource("Subject: " + raw + "\r\nFrom: " + raw + " <a@example.org>\r\n\r\n");
        const CMimeHeaderField* subject = message->FindField("Subject");
        ASSERT_NE(subject, nullptr);
        EXPECT_EQ(FieldValueToText(subject->GetValue(), subject->GetCharset()), expected) << raw;
        EXPECT_EQ(ExtractHeaderValues(*message).From, expected + QStringLiteral(" <a@example.org>"))
            << raw;
    }
}
