// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/tree/TreePath.h"

#include <gtest/gtest.h>

using namespace parcelo;

TEST(TreePath, NamesAreWrittenSoThatBackslashOnlySeparates) {
    const struct {
        QByteArray name;
        QString written;
    } cases[] = {
        {"Inbox", "Inbox"},
        {"100% done", "100% done"},
        {"50%", "50%"},
        {"Caf\xC3\xA9", QString::fromUtf8("Caf\xC3\xA9")},
        {"a\\b", "a%5Cb"},
        {"\\", "%5C"},
        {"%5C", "%255C"},
        {"%%41", "%%2541"},
        {"Entw\xFCrfe", "Entw%FCrfe"},
        {"x\xC3", "x%C3"},             // a cut sequence
        {"\xC0\xAF", "%C0%AF"},        // an overlong "/"
        {"\xED\xA0\x80", "%ED%A0%80"}, // a surrogate
        {"bell\x07\x1B[2J", "bell%07%1B[2J"},
        {"del\x7F", "del%7F"},
        {"c1\xC2\x9B", "c1%C2%9B"},
        {"\xF0\x9F\x93\xA7", QString::fromUtf8("\xF0\x9F\x93\xA7")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TreePathName(c.name), c.written) << c.name.toStdString();
        EXPECT_EQ(TreePathNameBytes(c.written), c.name) << c.name.toStdString();
    }
}

TEST(TreePath, CanonicalPathTakesAnySpellingOfTheEscapes) {
    EXPECT_EQ(CanonicalTreePath("Local Folders\\Inbox"), "Local Folders\\Inbox");
    EXPECT_EQ(CanonicalTreePath("Local Folders\\a%5cb"), "Local Folders\\a%5Cb");
    EXPECT_EQ(CanonicalTreePath("Local Folders\\%41rchive"), "Local Folders\\Archive");
    EXPECT_EQ(CanonicalTreePath("M\\Entw%fcrfe"), "M\\Entw%FCrfe");
    EXPECT_EQ(CanonicalTreePath("M\\Entw%C3%BCrfe"), QString::fromUtf8("M\\Entw\xC3\xBCrfe"));
}
