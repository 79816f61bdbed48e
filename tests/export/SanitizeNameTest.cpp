// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/naming/SanitizeName.h"

#include "export/naming/NameLimits.h"

#include <gtest/gtest.h>

using namespace parcelo;

namespace {

struct SanitizeCase {
    const char* label;
    QString input;
    QString expected;
};

void PrintTo(const SanitizeCase& c, std::ostream* os) {
    *os << c.label;
}

class SanitizeNameTable : public ::testing::TestWithParam<SanitizeCase> {};

TEST_P(SanitizeNameTable, CleansName) {
    EXPECT_EQ(SanitizeName(GetParam().input), GetParam().expected) << GetParam().label;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SanitizeNameTable,
    ::testing::Values(
        SanitizeCase{"reply subject", QStringLiteral("Re: Hello!"), QStringLiteral("Re Hello")},
        SanitizeCase{"every forbidden character", QStringLiteral("a\\b/c:d*e?f!g\"h'i<j>k|l"),
                     QStringLiteral("abcdefghijkl")},
        SanitizeCase{"kept punctuation", QStringLiteral("  a.b,c-d_e[f]@g (h)"),
                     QStringLiteral("  a.b,c-d_e[f]@g (h)")},
        SanitizeCase{"other scripts", QStringLiteral("Привет 世界 مرحبا Ünïcödé"),
                     QStringLiteral("Привет 世界 مرحبا Ünïcödé")},
        SanitizeCase{"letters outside the BMP", QStringLiteral("\U0001D400\U00020000x"),
                     QStringLiteral("\U0001D400\U00020000x")},
        SanitizeCase{"trailing white space", QStringLiteral(" Hello \t\r\n "),
                     QStringLiteral(" Hello")},
        SanitizeCase{"only forbidden and spaces", QStringLiteral(" :? !* | "),
                     QStringLiteral("No Name")},
        SanitizeCase{"empty", QString(), QStringLiteral("No Name")},
        SanitizeCase{"C0 controls and DEL go",
                     QString::fromUtf16(u"a\tb\x01"
                                        u"c\0d\ne\rf\x1b"
                                        u"g\x1fh\x7fi",
                                        17),
                     QStringLiteral("abcdefghi")},
        SanitizeCase{"C1 controls go, their neighbours stay",
                     QString::fromUtf16(u"\x7e\x80"
                                        u"a\x85"
                                        u"b\x9f\xa0"
                                        u"c"),
                     QString::fromUtf16(u"\x7e"
                                        u"ab\xa0"
                                        u"c")},
        SanitizeCase{"direction marks, embeddings, overrides and isolates go",
                     QString::fromUtf16(u"\x200e"
                                        u"a\x200f\x202a"
                                        u"b\x202b\x202c\x202d\x202e"
                                        u"c\x2066\x2067\x2068\x2069\x061c"
                                        u"d"),
                     QStringLiteral("abcd")},
        SanitizeCase{"joiners and the characters around the direction ones stay",
                     QString::fromUtf16(u"a\x200d\x2029"
                                        u"b\x2065\x206a\x061b"
                                        u"c\x202f"
                                        u"d"),
                     QString::fromUtf16(u"a\x200d\x2029"
                                        u"b\x2065\x206a\x061b"
                                        u"c\x202f"
                                        u"d")},
        SanitizeCase{"only controls", QStringLiteral("\n\x1b\u202e"), QStringLiteral("No Name")},
        SanitizeCase{"300 characters", QString(300, u'x'), QString(250, u'x')}),
    [](const auto& info) { return std::to_string(info.index); });

TEST(SanitizeName, CutNeverSplitsSurrogatePair) {
    // 249 units, then a letter outside the BMP across the 250th and 251st unit.
    const QString text = QString(249, u'a') + QStringLiteral("\U0001D400") + QStringLiteral("bc");
    const QString name = SanitizeName(text);
    EXPECT_EQ(name, QString(249, u'a'));
    EXPECT_FALSE(name.back().isHighSurrogate());
}

TEST(WithoutHiddenCharacters, TakesOutWhatSanitizeNameTakesOut) {
    const QString text = QString::fromUtf16(u"a\nb\x1b"
                                            u"c\x202e"
                                            u"d\x85:e ");
    EXPECT_EQ(WithoutHiddenCharacters(text), QStringLiteral("abcd:e "));
}

TEST(IsValidPathComponent, RejectsWhatCouldLeaveTheDestination) {
    for (const QString& bad :
         {QString(), QStringLiteral("."), QStringLiteral(".."), QStringLiteral("a/b"),
          QStringLiteral("a\\b"), QStringLiteral("C:"), QStringLiteral("a*"), QStringLiteral("a?"),
          QStringLiteral("\"a\""), QStringLiteral("<a>"), QStringLiteral("a|b"),
          QString::fromUtf16(u"a\0b", 3), QString(256, u'a'), QString(128, QChar(0x0416))})
        EXPECT_FALSE(IsValidPathComponent(bad)) << bad.toStdString();
    for (const QString& good :
         {QStringLiteral("Inbox"), QStringLiteral("Local Folders"), QStringLiteral("..."),
          QStringLiteral(".hidden"), QStringLiteral("It's!"), QString(255, u'a'),
          QString(127, QChar(0x0416))})
        EXPECT_TRUE(IsValidPathComponent(good)) << good.toStdString();
}

TEST(CutToUtf8Bytes, CutsAtCharacterBoundary) {
    EXPECT_EQ(CutToUtf8Bytes(QStringLiteral("abc"), 2), QStringLiteral("ab"));
    // Cyrillic letters take two bytes, CJK three, letters outside the BMP four.
    EXPECT_EQ(CutToUtf8Bytes(QStringLiteral("ЖЖЖ"), 5), QStringLiteral("ЖЖ"));
    EXPECT_EQ(CutToUtf8Bytes(QStringLiteral("世界"), 5), QStringLiteral("世"));
    EXPECT_EQ(CutToUtf8Bytes(QStringLiteral("\U0001D400\U0001D400"), 7),
              QStringLiteral("\U0001D400"));
    EXPECT_EQ(CutToUtf8Bytes(QStringLiteral("\U0001D400"), 3), QString());
    EXPECT_EQ(CutToUtf8Bytes(QStringLiteral("abc"), 10), QStringLiteral("abc"));
}

} // namespace
