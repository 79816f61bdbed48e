// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/DefaultStoreFolder.h"

#include "support/TestEnv.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace parcelo;
using parcelo::test::writeFile;

TEST(DefaultStoreFolderTest, PrefersTheMailClientsDefaultProfileThenMaildirThenMail) {
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QDir dir(home.path());
    EXPECT_EQ(DefaultStoreFolder(home.path()), "");
    ASSERT_TRUE(dir.mkpath("mail"));
    EXPECT_EQ(DefaultStoreFolder(home.path()), dir.filePath("mail"));
    ASSERT_TRUE(dir.mkpath("Maildir"));
    EXPECT_EQ(DefaultStoreFolder(home.path()), dir.filePath("Maildir"));

    // The default profile is the marked one, not the first.
    ASSERT_TRUE(dir.mkpath(".thunderbird/b.default/Mail/Local Folders"));
    ASSERT_TRUE(writeFile(dir.filePath(".thunderbird/profiles.ini"),
                          "[Profile0]\nName=a\nIsRelative=1\nPath=a.other\n\n"
                          "[Profile1]\nName=b\nIsRelative=1\nPath=b.default\nDefault=1\n"));
    EXPECT_EQ(DefaultStoreFolder(home.path()),
              dir.filePath(".thunderbird/b.default/Mail/Local Folders"));

    // A newer installation section names its default and wins.
    ASSERT_TRUE(dir.mkpath(".thunderbird/c.release/Mail/Local Folders"));
    ASSERT_TRUE(writeFile(dir.filePath(".thunderbird/profiles.ini"),
                          "[Install4F96D1932A9F858E]\nDefault=c.release\n\n"
                          "[Profile0]\nName=b\nIsRelative=1\nPath=b.default\nDefault=1\n"));
    EXPECT_EQ(DefaultStoreFolder(home.path()),
              dir.filePath(".thunderbird/c.release/Mail/Local Folders"));
}
