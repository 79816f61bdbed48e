// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/output/AntiDateFile.h"

#include "support/TestEnv.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace parcelo;

namespace {

TEST(AntiDateFile, FileShowsTheSentTimeInTheUsersZone) {
    // Five hours west of UTC: sent at 10:00 local is 15:00 UTC.
    test::ScopedTimeZone zone("EST5");
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath(QStringLiteral("m.eml"));
    ASSERT_TRUE(test::writeFile(path, "x"));
    const QDateTime sent(QDate(2009, 3, 5), QTime(15, 0), Qt::UTC);

    EXPECT_TRUE(AntiDateFile(path, sent));
    const QFileInfo info(path);
    EXPECT_EQ(info.lastModified().toUTC(), sent);
    EXPECT_EQ(info.lastModified().toLocalTime().time(), QTime(10, 0));
    EXPECT_EQ(info.lastRead().toUTC(), sent);
}

TEST(AntiDateFile, InvalidSentTimeLeavesFileAlone) {
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath(QStringLiteral("m.eml"));
    ASSERT_TRUE(test::writeFile(path, "x"));
    const QDateTime before = QFileInfo(path).lastModified();
    EXPECT_FALSE(AntiDateFile(path, QDateTime()));
    EXPECT_EQ(QFileInfo(path).lastModified(), before);
    EXPECT_FALSE(AntiDateFile(QDir(dir.path()).filePath(QStringLiteral("missing")),
                              QDateTime(QDate(2009, 3, 5), QTime(15, 0), Qt::UTC)));
}

TEST(AntiDateFile, NeverChangesTheTargetOfALink) {
    QTemporaryDir dir;
    const QString target = QDir(dir.path()).filePath(QStringLiteral("outside"));
    const QString link = QDir(dir.path()).filePath(QStringLiteral("m.eml"));
    ASSERT_TRUE(test::writeFile(target, "x"));
    ASSERT_TRUE(QFile::link(target, link));
    const QDateTime before = QFileInfo(target).lastModified();
    AntiDateFile(link, QDateTime(QDate(2009, 3, 5), QTime(15, 0), Qt::UTC));
    EXPECT_EQ(QFileInfo(target).lastModified(), before);
}

} // namespace
