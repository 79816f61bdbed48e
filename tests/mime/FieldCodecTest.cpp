// SPDX-License-Identifier: GPL-3.0-or-later
#include "mime/CFieldCodeBase.h"
#include "mime/CMimeEncodedWord.h"
#include "mime/MimeCoderRegistry.h"

#include <gtest/gtest.h>
#include <string>

using namespace parcelo;

namespace {

struct Decoded {
    std::string value;
    std::string charset;
};

Decoded DecodeField(const std::string& name, const std::string& raw) {
    auto coder = CreateFieldCoder(name);
    coder->SetInput(raw, false);
    Decoded d;
    coder->Decode(d.value);
    d.charset = coder->GetCharset();
    return d;
}

std::string EncodeField(const std::string& name, const std::string& value,
                        const std::string& charset) {
    auto coder = CreateFieldCoder(name);
    coder->SetCharset(charset);
    coder->SetInput(value, true);
    std::string out;
    coder->Encode(out);
    EXPECT_GE(coder->EncodedLength(), out.size()) << value;
    return out;
}

std::string EncodeWord(const std::string& input, const std::string& charset, char letter) {
    CMimeEncodedWord word;
    word.SetCharset(charset);
    word.SetEncoding(letter);
    word.SetInput(input, true);
    std::string out;
    word.Encode(out);
    EXPECT_GE(word.EncodedLength(), out.size());
    return out;
}

} // namespace

TEST(EncodedWord, DecodesAcrossWordsAndCharsets) {
    struct Case {
        const char* raw;
        const char* value;
        const char* charset;
    } cases[] = {
        {"=?utf-8?Q?a?= =?utf-8?Q?b?=", "ab", "utf-8"},
        {"=?utf-8?Q?a?=\r\n =?utf-8?B?Yg==?=", "ab", "utf-8"},
        {"Re: =?ISO-8859-1?Q?=E9t=E9?=", "Re: \xC3\xA9t\xC3\xA9", "utf-8"},
        {"=?iso-8859-1?q?a?= =?utf-8?B?w6k=?=", "a\xC3\xA9", "utf-8"},
        // Raw 8-bit text beside a word is read as UTF-8, else windows-1252.
        {"Gr\xFC\xDF"
         "e =?iso-8859-1?Q?M=FCnchen?=",
         "Gr\xC3\xBC\xC3\x9F"
         "e M\xC3\xBCnchen",
         "utf-8"},
        {"=?utf-8?Q?a_b=5F?=", "a b_", "utf-8"},
        {"=?utf-8?B?dGVzdA?= tail", "test tail", "utf-8"},
        {"=?utf-8?X?abc?=", "=?utf-8?X?abc?=", ""},
        {"plain text", "plain text", ""},
        {"=?utf-8?Q?unterminated", "=?utf-8?Q?unterminated", ""},
        // Without encoded words the bytes stay as they are, whatever they are.
        {"raw \xFC", "raw \xFC", ""},
        // A word without a charset is not one; its bytes stay as they are.
        {"=??Q?a=0D=0Ab?=", "=??Q?a=0D=0Ab?=", ""},
        {"fold\r\n continues", "fold\r\n continues", ""},
    };
    for (const auto& c : cases) {
        const Decoded d = DecodeField("Subject", c.raw);
        EXPECT_EQ(d.value, c.value) << c.raw;
        EXPECT_EQ(d.charset, c.charset) << c.raw;
    }
}

TEST(EncodedWord, AddressSyntaxInDecodedNamesIsQuoted) {
    struct Case {
        const char* raw;
        const char* value;
    } cases[] = {
        {"=?UTF-8?Q?H=C3=B6rst=2C_Kenny?= <k@x>, Bob <b@x>",
         "\"H\xC3\xB6rst, Kenny\" <k@x>, Bob <b@x>"},
        {"=?UTF-8?Q?John_=22J=22_Doe?= <j@x>", "\"John \\\"J\\\" Doe\" <j@x>"},
        {"\"=?UTF-8?Q?M=C3=BCller=2C_Hans?=\" <h@x>", "\"M\xC3\xBCller, Hans\" <h@x>"},
        {"=?UTF-8?Q?J=C3=B6rg?= <j@x>", "J\xC3\xB6rg <j@x>"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DecodeField("To", c.raw).value, c.value) << c.raw;
    // Only address lists read names.
    EXPECT_EQ(DecodeField("Subject", "=?UTF-8?Q?a=2C_b?=").value, "a, b");
}

TEST(EncodedWord, EncodesBAndQWords) {
    EXPECT_EQ(EncodeWord("\xC3\xA9 a", "utf-8", 'Q'), "=?utf-8?Q?=C3=A9=20a?=");
    EXPECT_EQ(EncodeWord("a_b?c=d", "x", 'Q'), "=?x?Q?a=5Fb=3Fc=3Dd?=");
    EXPECT_EQ(EncodeWord("\xC3\xA9", "utf-8", 'B'), "=?utf-8?B?w6k=?=");
    EXPECT_EQ(EncodeWord("plain", "", 'B'), "plain");
    EXPECT_EQ(EncodeWord("", "utf-8", 'B'), "");
    // 45-byte chunks for a 5-byte charset name.
    const std::string fifty(50, 'x');
    const std::string out = EncodeWord(fifty, "utf-8", 'B');
    EXPECT_EQ(out, "=?utf-8?B?" + std::string(60, 'e').replace(0, 60, out.substr(10, 60)) +
                       "?= =?utf-8?B?eHh4eHg=?=");
    EXPECT_EQ(out.find("?= =?"), 70u);
}

TEST(EncodedWord, WordsNeverSplitACharacter) {
    // 44 ASCII bytes and a two-byte character: the 45-byte chunk would cut the character.
    const std::string text = std::string(44, 'x') + "\xC3\xA9";
    const std::string b = EncodeWord(text, "utf-8", 'B');
    EXPECT_NE(b.find("?B?w6k=?="), std::string::npos) << b;
    std::string many;
    for (int i = 0; i < 30; ++i)
        many += "\xC3\xA9";
    const std::string q = EncodeWord(many, "utf-8", 'Q');
    EXPECT_EQ(q.find("=C3?="), std::string::npos) << q;
    EXPECT_NE(q.find("?= =?utf-8?Q?"), std::string::npos);
    // A charset known to iconv: GB2312 characters are two bytes.
    const std::string gb = std::string(44, 'x') + "\xCE\xD2";
    EXPECT_NE(EncodeWord(gb, "gb2312", 'B').find("?B?ztI=?="), std::string::npos);
    // A charset name too long for any text still gives words that carry data.
    const std::string longName(70, 'c');
    const std::string words = EncodeWord("\xC3\xA9\xC3\xA9", longName, 'Q');
    EXPECT_EQ(words.find("?Q?"
                         "?="),
              std::string::npos)
        << words;
    EXPECT_NE(words.find("?Q?=A9?="), std::string::npos) << words;
}

TEST(ScanSymbol, QuotedStringsCommentsAndAnglesAreOneSymbol) {
    const std::string v = "\"a b\" (c, d) <e@f> g\xC3\xA9";
    unsigned char closer = 0;
    std::size_t nonAscii = 0;
    EXPECT_EQ(ScanSymbol(v, 0, closer, nonAscii), 0u);
    EXPECT_EQ(closer, '"');
    EXPECT_EQ(ScanSymbol(v, 1, closer, nonAscii), 3u);
    EXPECT_EQ(closer, 0);
    EXPECT_EQ(ScanSymbol(v, 6, closer, nonAscii), 0u);
    EXPECT_EQ(closer, ')');
    EXPECT_EQ(ScanSymbol(v, 7, closer, nonAscii), 4u); // "c, d"
    closer = '>';
    EXPECT_EQ(ScanSymbol(v, 14, closer, nonAscii), 3u); // "e@f"
    closer = 0;
    EXPECT_EQ(ScanSymbol(v, 19, closer, nonAscii), 3u);
    EXPECT_EQ(nonAscii, 2u);
    closer = 255; // a text value is one symbol, a 0xFF byte included
    EXPECT_EQ(ScanSymbol("a, b\xFF c", 0, closer, nonAscii), 7u);
}

TEST(FieldCodec, ChoosesBOrQAndFoldsAfterSeparators) {
    struct Case {
        const char* name;
        const char* value;
        const char* charset;
        const char* stored;
    } cases[] = {
        {"Subject",
         "Gr\xC3\xBC\xC3\x9F"
         "e",
         "utf-8", "=?utf-8?B?R3LDvMOfZQ==?="},
        {"Subject", "Hello caf\xC3\xA9", "utf-8", "=?utf-8?Q?Hello=20caf=C3=A9?="},
        {"Subject", "caf\xC3\xA9", "utf-8", "=?utf-8?B?Y2Fmw6k=?="},
        {"Subject", "raw caf\xC3\xA9", "", "raw caf\xC3\xA9"},
        {"Subject", "ascii only", "utf-8", "ascii only"},
        // Two encoded words apart only by white space become one, with the space inside.
        {"From", "J\xC3\xB6rg M\xC3\xBCller <j@x>, Bob <b@x>", "utf-8",
         "=?utf-8?B?SsO2cmcgTcO8bGxlcg==?= <j@x>,\r\n\tBob <b@x>"},
        {"To", "a@x,  b@y", "utf-8", "a@x,\r\n\tb@y"},
        {"Cc", "group: a@x;", "utf-8", "group:\r\n\ta@x;"},
        {"Content-Disposition", "attachment; filename=\"r\xC3\xA9sum\xC3\xA9.pdf\"", "utf-8",
         "attachment;\r\n\tfilename=\"=?utf-8?B?csOpc3Vtw6kucGRm?=\""},
        {"Content-Type", "text/plain; charset=\"utf-8\"", "", "text/plain; charset=\"utf-8\""},
        {"X-Other", "a\xC3\xA9 b", "utf-8", "=?utf-8?B?YcOp?= b"},
        // No encoded word inside a quoted string: a quoted name becomes a phrase of words, and Q
        // escapes every special a phrase cannot hold.
        {"From", "\" \\\"\xC3\xB6tzi\\\" \" <o@x>", "utf-8",
         "=?utf-8?Q?=20=22=C3=B6tzi=22=20?= <o@x>"},
        {"To", "\"H\xC3\xB6rst, Kenny\" <k@x>", "utf-8", "=?utf-8?Q?H=C3=B6rst=2C=20Kenny?= <k@x>"},
        {"Cc", "a@x (J\xC3\xB6rg M.)", "utf-8", "a@x (=?utf-8?Q?J=C3=B6rg=20M=2E?=)"},
        {"Reply-To", "Grill&Caf\xC3\xA9 <c@x>", "utf-8", "=?utf-8?Q?Grill=26Caf=C3=A9?= <c@x>"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EncodeField(c.name, c.value, c.charset), c.stored) << c.value;
}

TEST(FieldCodec, DecodedLineBreaksAndControlBytesStayEncoded) {
    // A decoded CR LF must not end the header line; folding (CR LF and a space) stays as it is.
    EXPECT_EQ(EncodeField("Subject", "a\r\nb", "utf-8"), "=?utf-8?Q?a=0D=0Ab?=");
    EXPECT_EQ(EncodeField("X-Any", "a\r\n\r\nb", "utf-8"), "=?utf-8?B?YQ0KDQpi?=");
    EXPECT_EQ(EncodeField("Subject", "fold\r\n ed", "utf-8"), "fold\r\n ed");
    // A fold inside text that is encoded is unfolded, not encoded into the text.
    EXPECT_EQ(EncodeField("Subject", "Anw\xC3\xA4ltin\r\n f\xC3\xBCr Sie", "utf-8"),
              "=?utf-8?Q?Anw=C3=A4ltin=20f=C3=BCr=20Sie?=");
    EXPECT_EQ(EncodeField("Subject", std::string("nul\0x", 5), "utf-8"), "=?utf-8?Q?nul=00x?=");
    // ISO-2022-JP characters are ASCII bytes after ESC $: "!<" there is no special, so the name
    // stays one word.
    EXPECT_EQ(EncodeField("Subject", "\x1B$B!!\x1B(B", "iso-2022-jp"),
              "=?iso-2022-jp?B?GyRCISEbKEI=?=");
    EXPECT_EQ(EncodeField("Thread-Topic", "\x1B$B%N%c!<%s\x1B(B", "iso-2022-jp"),
              "=?iso-2022-jp?B?GyRCJU4lYyE8JXMbKEI=?=");
    EXPECT_EQ(EncodeField("From", "\x1B$B%N%c!<%s\x1B(B <n@x>", "iso-2022-jp"),
              "=?iso-2022-jp?B?GyRCJU4lYyE8JXMbKEI=?= <n@x>");
}

TEST(FieldCodec, RegistryByFieldName) {
    EXPECT_EQ(CreateFieldCoder("subject")->InitialCloser(), 255);
    EXPECT_EQ(CreateFieldCoder("Content-Description")->InitialCloser(), 255);
    for (const char* address : {"From", "to", "Resent-Cc", "BCC", "Reply-To"}) {
        EXPECT_TRUE(CreateFieldCoder(address)->IsFoldingDelimiter(',')) << address;
        EXPECT_TRUE(CreateFieldCoder(address)->IsFoldingDelimiter(':')) << address;
    }
    EXPECT_TRUE(CreateFieldCoder("content-type")->IsFoldingDelimiter(';'));
    EXPECT_FALSE(CreateFieldCoder("Content-Type")->IsFoldingDelimiter(','));
    EXPECT_FALSE(CreateFieldCoder("Date")->IsFoldingDelimiter(','));
    EXPECT_EQ(CreateFieldCoder("Date")->InitialCloser(), 0);
}
