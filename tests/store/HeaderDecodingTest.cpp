// SPDX-License-Identifier: GPL-3.0-or-later
#include "mailtext/EncodedWords.h"
#include "mailtext/MailAddressList.h"
#include "store/header/HeaderSummary.h"
#include "store/header/MessageHeader.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QUtf8StringView>
#include <gtest/gtest.h>

using namespace parcelo;

namespace {

std::string Decode(const char* text) {
    return DecodeEncodedWords(QByteArray(text)).toStdString();
}

} // namespace

TEST(EncodedWords, DecodesWithTheCharsetTheyName) {
    struct Case {
        const char* raw;
        const char* decoded;
    } cases[] = {
        {"=?ISO-8859-1?Q?Andr=E9?= Pirard", "Andr\xC3\xA9 Pirard"},
        {"=?koi8-r?B?4czGwdfJ1A==?=", "\xD0\x90\xD0\xBB\xD1\x84\xD0\xB0\xD0\xB2\xD0\xB8\xD1\x82"},
        {"=?windows-1251?B?wOv04OLo8g==?=",
         "\xD0\x90\xD0\xBB\xD1\x84\xD0\xB0\xD0\xB2\xD0\xB8\xD1\x82"},
        {"=?utf-8?q?caf=C3=A9_au_lait?=", "caf\xC3\xA9 au lait"},
        // White space between adjacent encoded words is dropped, not between word and text.
        {"=?UTF-8?Q?a?= =?UTF-8?Q?b?=  c =?UTF-8?Q?d?=", "ab  c d"},
        {"=?ISO-8859-1?Q?a?=\t =?UTF-8?B?w6k=?=", "a\xC3\xA9"},
        // A UTF-8 character split over two words comes out whole.
        {"=?UTF-8?B?4oI=?= =?UTF-8?B?rA==?=", "\xE2\x82\xAC"},
        {"=?utf-8*en?Q?x?=", "x"},
        // Unknown charsets and malformed words stay as they are.
        {"=?x-unknown-charset?Q?abc?=", "=?x-unknown-charset?Q?abc?="},
        {"=?utf-8?X?abc?= and =?broken", "=?utf-8?X?abc?= and =?broken"},
        // Raw 8-bit text: UTF-8 kept, anything else read as windows-1252.
        {"Gr\xC3\xBC\xC3\x9F"
         "e",
         "Gr\xC3\xBC\xC3\x9F"
         "e"},
        {"Gr\xFC\xDF"
         "e \x80",
         "Gr\xC3\xBC\xC3\x9F"
         "e \xE2\x82\xAC"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Decode(c.raw), c.decoded) << c.raw;
}

TEST(EncodedWords, Iso2022JpWordsFromARealMessage) {
    PARCELO_REQUIRE_CORPUS();
    QFile file(test::corpusDir() + QStringLiteral("/mimekit/messages/japanese.txt"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const MessageHeader header(file.readAll());
    EXPECT_EQ(NormalizeSubject(DecodeEncodedWords(header.value("Subject"))).toStdString(),
              "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x83\xA1\xE3\x83\xBC\xE3\x83\xAB\xE3\x83"
              "\x86\xE3\x82\xB9\xE3\x83\x88 (testing Japanese emails)");
}

// Inputs found by the fuzz targets, kept by name: text from the store is valid UTF-8 whatever
// bytes a word that names UTF-8 carries.
TEST(EncodedWords, FuzzFindingsGiveValidUtf8) {
    const struct {
        const char* name;
        QByteArray hex;
    } cases[] = {
        {"utf-8 Q word with lead bytes of sequences past U+10FFFF (mailtext_encoded_words_fuzz)",
         "3d3f7574662d383f713f506f7374b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0fff7b0b0b0b0b0b0b0b0b0"
         "b0b0b0b0b0b0b0b0b0b0b0b0b0b05f746f5f667265656273642d6861636b6572733d343046726565"
         "4253442e6f72675f64656e69656e65775f736572766963655f6d616e616765725f6461656d6f6e3f"
         "3d"},
        {"utf-8 Q word with 0xFF and a five-byte lead in an address (mailtext_address_list_fuzz)",
         "3d3f7574662d383f513f416e74ffffffffffff41433d7270bcbcbcbcbcbcbcbcbcbcfbbcbcbcbcbc"
         "bcbcbc3d36393f3d72673e"},
    };
    for (const auto& c : cases) {
        const QByteArray input = QByteArray::fromHex(c.hex);
        const QByteArray decoded = DecodeEncodedWords(input);
        EXPECT_TRUE(QUtf8StringView(decoded).isValidUtf8()) << c.name;
        EXPECT_TRUE(decoded.contains("\xEF\xBF\xBD")) << c.name; // U+FFFD for what was invalid
        for (const QByteArray& name : AddressDisplayNames(input))
            EXPECT_TRUE(QUtf8StringView(name).isValidUtf8()) << c.name;
    }
}

TEST(MessageHeader, UnfoldsAndFindsFieldsInAnyCase) {
    const MessageHeader header("Subject: a\r\n  folded\r\n\tline\r\nX-Empty:\n"
                               "subject: second\n\nBody: no\n");
    EXPECT_EQ(header.value("SUBJECT"), QByteArray("a  folded\tline"));
    ASSERT_EQ(header.fields().size(), 3u);
    EXPECT_EQ(header.fields()[1].name, QByteArray("X-Empty"));
    EXPECT_EQ(header.fields()[2].value, QByteArray("second"));
    EXPECT_EQ(header.find("Body"), nullptr);
}

TEST(MailAddressList, DisplayNamesOrAddresses) {
    struct Case {
        const char* raw;
        const char* names;
    } cases[] = {
        {"\"Doe, John\" <john@example.com>", "Doe, John"},
        {"John Doe <john@example.com>, jane@example.com", "John Doe|jane@example.com"},
        {"<only@example.com>", "only@example.com"},
        {"old@example.com (Old Style)", "Old Style"},
        {"=?ISO-8859-1?Q?Andr=E9?= <a@b.c>", "Andr\xC3\xA9"},
        {"\"=?UTF-8?B?w6k=?=\" <e@b.c>", "\xC3\xA9"},
        {"team: a@b.c, \"B\" <b@b.c>;, c@d.e", "a@b.c|B|c@d.e"},
        {"undisclosed-recipients:;", ""},
        {"\"Quote \\\" inside\" <q@b.c>", "Quote \" inside"},
        {"", ""},
        // Each mailbox's words are its own, white space collapsed, none carried to the next.
        {"  Ann \t Lee  <a@b.c>,\r\n Bob\n <b@b.c>, c@d.e,Dee<d@e.f>", "Ann Lee|Bob|c@d.e|Dee"},
        {"list: Ann <a@b.c>; Bob <b@b.c>", "Ann|Bob"},
        {"Ann (note) <a@b.c>, Bob <b@b.c>", "Ann|Bob"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(AddressDisplayNames(c.raw).join('|').toStdString(), c.names) << c.raw;
}

TEST(HeaderSummary, NormalSubjectDropsReplyAndForwardPrefixes) {
    struct Case {
        const char* subject;
        const char* normal;
    } cases[] = {
        {"Re: Hello", "Hello"},
        {"RE: FW: fwd:Hello", "Hello"},
        {"Re[2]: Re [3] : Hello", "Hello"},
        {"  re:   Hello  ", "Hello"},
        {"Fwd: Re:", ""},
        {"Reply: not a prefix", "Reply: not a prefix"},
        {"Hello Re: world", "Hello Re: world"},
        {"Refund: money", "Refund: money"},
        {"Re[x]: not a counter", "Re[x]: not a counter"},
        {"Fw d: split", "Fw d: split"},
        {"fWD :\tRe[12]:x", "x"},
        // A no-break space after the colon (found by fuzzing): the subject must come out free
        // of prefixes, not with the next one left in front.
        {"Re:\xC2\xA0Re: x", "x"},
        {"Fwd:\xE2\x80\x83Re:\xC2\xA0Hello\xC2\xA0", "Hello"},
        {"\v\fRe:\tHi\r", "Hi"},
        {"Plain", "Plain"},
        {" \t ", ""},
        {"\x1fRe: x", "\x1fRe: x"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NormalizeSubject(c.subject).toStdString(), c.normal) << c.subject;
}

TEST(HeaderSummary, PriorityFromXPriorityImportanceOrPriority) {
    struct Case {
        const char* header;
        int priority;
    } cases[] = {
        {"X-Priority: 1 (Highest)\n", IMSG_PRI_HIGH},
        {"X-Priority: 2\n", IMSG_PRI_HIGH},
        {"X-Priority: 4\n", IMSG_PRI_LOW},
        {"X-Priority: 5 (Lowest)\n", IMSG_PRI_LOW},
        {"X-Priority: 3\nImportance: High\n", IMSG_PRI_HIGH},
        {"Importance: low\n", IMSG_PRI_LOW},
        {"Priority: urgent\n", IMSG_PRI_HIGH},
        {"Priority: non-urgent\n", IMSG_PRI_LOW},
        {"Priority: normal\n", IMSG_PRI_NORMAL},
        {"Subject: x\n", IMSG_PRI_NORMAL},
    };
    for (const Case& c : cases)
        EXPECT_EQ(HeaderPriority(MessageHeader(c.header)), c.priority) << c.header;
}

TEST(HeaderSummary, CollectsTheStoreProperties) {
    const MessageHeader header("Received: from a by b; Tue, 3 Mar 2009 19:40:00 +0100\n"
                               "Received: from c by d; Tue, 3 Mar 2009 19:45:00 +0100\n"
                               "From: =?koi8-r?B?4czGwdfJ1A==?= <x@y.z>, second@y.z\n"
                               "To: A <a@b.c>,\n B <b@b.c>\n"
                               "Subject: Re: =?ISO-8859-1?Q?caf=E9?=\n"
                               "Date: Tue, 3 Mar 2009 19:41:00 +0100\n"
                               "Importance: high\n");
    const HeaderSummary summary = SummarizeHeader(header);
    EXPECT_EQ(summary.displayFrom.toStdString(),
              "\xD0\x90\xD0\xBB\xD1\x84\xD0\xB0\xD0\xB2\xD0\xB8\xD1\x82");
    EXPECT_EQ(summary.displayTo, QByteArray("A, B"));
    EXPECT_EQ(summary.normalSubject.toStdString(), "caf\xC3\xA9");
    EXPECT_EQ(summary.sent, QDateTime(QDate(2009, 3, 3), QTime(18, 41), Qt::UTC));
    EXPECT_EQ(summary.firstReceived, QDateTime(QDate(2009, 3, 3), QTime(18, 40), Qt::UTC));
    EXPECT_EQ(summary.priority, IMSG_PRI_HIGH);
    EXPECT_FALSE(SummarizeHeader(MessageHeader("Date: yesterday\n")).sent.isValid());
}

TEST(HeaderSummary, ReadsTheFirstOfEachFieldAmongOthers) {
    const QByteArray header = "Return-Path: <r@b.c>\n"
                              "RECEIVED: from a by b;\n Tue, 3 Mar 2009 19:40:00 +0100\n"
                              "Received: from c by d; Tue, 3 Mar 2009 19:45:00 +0100\n"
                              "X-Mailer: m\n"
                              "from: Ann <a@b.c>\n"
                              "From: Bob <b@b.c>\n"
                              "tO: Cy <c@b.c>,\n\tDee <d@b.c>\n"
                              "Subject: Re: first\n"
                              "subject: second\n"
                              "Date: Tue, 3 Mar 2009 19:41:00 +0100\n"
                              "X-PRIORITY: 5\n"
                              "X-Priority: 1\n"
                              "Message-ID: <m@b.c>\n";
    struct Case {
        bool needReceived;
        QDateTime firstReceived;
    } cases[] = {
        {true, QDateTime(QDate(2009, 3, 3), QTime(18, 40), Qt::UTC)},
        {false, QDateTime()},
    };
    for (const Case& c : cases) {
        const HeaderSummary summary =
            SummarizeHeader(SummaryFieldsOf(header, c.needReceived), c.needReceived);
        EXPECT_EQ(summary.displayFrom, QByteArray("Ann"));
        EXPECT_EQ(summary.displayTo, QByteArray("Cy, Dee"));
        EXPECT_EQ(summary.normalSubject, QByteArray("first"));
        EXPECT_EQ(summary.sent, QDateTime(QDate(2009, 3, 3), QTime(18, 41), Qt::UTC));
        EXPECT_EQ(summary.firstReceived, c.firstReceived);
        EXPECT_EQ(summary.priority, IMSG_PRI_LOW);
    }
}
