// SPDX-License-Identifier: GPL-3.0-or-later
#include "mime/CMimeCodeBase64.h"
#include "mime/CMimeCodeQP.h"
#include "mime/MimeCoderRegistry.h"

#include <gtest/gtest.h>
#include <string>

using namespace parcelo;

namespace {

std::string Code(CMimeCodeBase& coder, const std::string& input, bool encode) {
    coder.SetInput(input, encode);
    std::string out;
    const std::size_t n = encode ? coder.Encode(out) : coder.Decode(out);
    EXPECT_EQ(n, out.size());
    EXPECT_GE(encode ? coder.EncodedLength() : coder.DecodedLength(), out.size());
    return out;
}

struct Case {
    std::string input;
    std::string expected;
};

} // namespace

TEST(QuotedPrintable, EncodesByTheLineRules) {
    const std::string a75(75, 'a');
    const Case cases[] = {
        {std::string(100, 'a'), a75 + "=\r\n" + std::string(25, 'a')},
        {"abc \r\nx", "abc=20\r\nx"},
        {"tab\t", "tab=09"},
        {"x\r\n.\r\ny", "x\r\n=2E\r\ny"},
        {".\r\n", ".\r\n"},
        {"a=b", "a=3Db"},
        {"caf\xC3\xA9", "caf=C3=A9"},
        {"mid space stays", "mid space stays"},
        // The soft break goes after the last space, and the rest moves to the next line.
        {std::string(70, 'a') + " " + std::string(10, 'b'),
         std::string(70, 'a') + " =\r\n" + std::string(10, 'b')},
        // A line end never takes a soft break.
        {a75 + "\r\n" + "b", a75 + "\r\nb"},
    };
    for (const auto& c : cases) {
        CMimeCodeQP qp;
        EXPECT_EQ(Code(qp, c.input, true), c.expected) << c.input;
    }
}

TEST(QuotedPrintable, NoLineLongerThan76AndDecodesBack) {
    std::string input;
    for (int i = 0; i < 40; ++i)
        input += "word\xE9 with = and\t spaces ";
    input += "\r\n. \r\nend ";
    CMimeCodeQP qp;
    const std::string encoded = Code(qp, input, true);
    std::size_t start = 0;
    while (start < encoded.size()) {
        std::size_t end = encoded.find("\r\n", start);
        if (end == std::string::npos)
            end = encoded.size();
        EXPECT_LE(end - start, 76u);
        start = end + 2;
    }
    CMimeCodeQP decoder;
    EXPECT_EQ(Code(decoder, encoded, false), input);
}

TEST(QuotedPrintable, DecodesEscapesSoftBreaksAndStrayEquals) {
    const Case cases[] = {
        {"=3D", "="},
        {"=3d", "="},
        // Lower-case escapes and an "=" that starts no escape keep their meaning.
        {"=a0", "\xA0"},
        {"=e9t=E9", "\xE9t\xE9"},
        {"version=\"1.0\"", "version=\"1.0\""},
        {"=G1", "=G1"},
        {"soft=\r\nbreak", "softbreak"},
        {"cut=4", "cut"},
        {"cut=", "cut"},
        {"plain\r\ntext", "plain\r\ntext"},
    };
    for (const auto& c : cases) {
        CMimeCodeQP qp;
        EXPECT_EQ(Code(qp, c.input, false), c.expected) << c.input;
    }
}

TEST(Base64, EncodesInLinesOf76) {
    std::string bytes57;
    for (int i = 0; i < 57; ++i)
        bytes57.push_back(static_cast<char>(i));
    const std::string line =
        "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8gISIjJCUmJygpKissLS4vMDEyMzQ1Njc4";
    CMimeCodeBase64 b1(true);
    EXPECT_EQ(Code(b1, bytes57, true), line + "\r\n");
    CMimeCodeBase64 b2(true);
    EXPECT_EQ(Code(b2, bytes57 + "9", true), line + "\r\nOQ==\r\n");
    CMimeCodeBase64 b3(true);
    EXPECT_EQ(Code(b3, "", true), "");

    const Case flat[] = {{"Man", "TWFu"}, {"Ma", "TWE="}, {"M", "TQ=="}, {"", ""}};
    for (const auto& c : flat) {
        CMimeCodeBase64 b(false);
        EXPECT_EQ(Code(b, c.input, true), c.expected);
    }
}

TEST(Base64, DecodingSkipsBytesOutsideTheAlphabetAndStopsAtPadding) {
    const Case cases[] = {
        {"TWFu", "Man"}, {"TW\r\nFu", "Man"}, {"TW Fu\tTWE=", "ManMa"}, {"TWFu=TWFu", "Man"},
        {"TQ==", "M"},   {"TWF", "Ma"},       {"TWFuT", "Man"},         {"!!", ""},
    };
    for (const auto& c : cases) {
        CMimeCodeBase64 b;
        EXPECT_EQ(Code(b, c.input, false), c.expected) << c.input;
    }
}

TEST(TransferCoderRegistry, ChoosesByNameIgnoringCase) {
    EXPECT_NE(dynamic_cast<CMimeCodeQP*>(CreateTransferCoder("Quoted-Printable").get()), nullptr);
    auto base64 = CreateTransferCoder("BASE64");
    auto* b = dynamic_cast<CMimeCodeBase64*>(base64.get());
    ASSERT_NE(b, nullptr);
    EXPECT_TRUE(b->HasLineBreaks());
    for (const char* name : {"7bit", "8bit", "binary", "", "x-uuencode"}) {
        auto coder = CreateTransferCoder(name);
        EXPECT_EQ(typeid(*coder), typeid(CMimeCodeBase)) << name;
        EXPECT_EQ(Code(*coder, "any =3D bytes", true), "any =3D bytes");
    }
}
