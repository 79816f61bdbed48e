// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/PendingFile.h"

#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace parcelo;

namespace {

FileInDirectory Entry(const QString& path) {
    FileInDirectory entry;
    EXPECT_TRUE(entry.open(QFile::encodeName(path)));
    return entry;
}

} // namespace

// A killed writer's temporary files go when their name is next written, and only theirs: a
// file of another name may belong to a program on another host. The directory is looked at
// once a process, so that writing each of thousands of files in it does not list it again.
TEST(PendingFile, LeftoversGoWithTheirNameAndTheDirectoryIsListedOnce) {
    QTemporaryDir dir;
    const QString dead = QString::number(test::endedProcessId());
    const QString alive = QString::number(::getppid());
    const QStringList before = {".a.parcelo-" + dead + "-0", ".a.parcelo-" + alive + "-0",
                                ".b.parcelo-" + dead + "-7", ".parcelo-" + dead + "-1",
                                ".parcelo-notes"};
    for (const QString& name : before)
        ASSERT_TRUE(test::writeFile(dir.filePath(name), "part of a copy"));
    const auto leftovers = [&] {
        return QDir(dir.path()).entryList({"*parcelo*"}, QDir::Files | QDir::Hidden);
    };

    EXPECT_EQ(PendingFile::RemoveLeftovers(Entry(dir.filePath("a"))), 1);
    EXPECT_EQ(leftovers(), (QStringList{".a.parcelo-" + alive + "-0", ".b.parcelo-" + dead + "-7",
                                        ".parcelo-" + dead + "-1", ".parcelo-notes"}));
    // Found after the directory was looked at: left for the next process.
    ASSERT_TRUE(test::writeFile(dir.filePath(".b.parcelo-" + dead + "-8"), "part of a copy"));
    EXPECT_EQ(PendingFile::RemoveLeftovers(Entry(dir.filePath("b"))), 1);
    // Message files, whose names are settled later, reach their directory by its path.
    EXPECT_EQ(
        PendingFile::RemoveLeftovers(FileInDirectory::ByPath(QFile::encodeName(dir.path() + "/"))),
        1);
    EXPECT_EQ(leftovers(), (QStringList{".a.parcelo-" + alive + "-0", ".b.parcelo-" + dead + "-8",
                                        ".parcelo-notes"}));
}
