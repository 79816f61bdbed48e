// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/MailClientProfile.h"

#include "support/ClientProfile.h"
#include "support/TestEnv.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace parcelo;
using parcelo::test::ClientProfile;

TEST(MailClientProfileTest, TheProfileIsFoundUpToThreeFoldersAboveTheStore) {
    QTemporaryDir tmp;
    const QDir dir(tmp.path());
    ASSERT_TRUE(dir.mkpath("p/Mail/Local Folders/Sub.sbd"));
    ASSERT_TRUE(dir.mkpath("p/ImapMail/server/INBOX.sbd/deep"));
    EXPECT_EQ(FindMailClientProfile(dir.filePath("p/Mail/Local Folders")), "");
    ASSERT_TRUE(test::writeFile(dir.filePath("p/prefs.js"), "\n"));
    EXPECT_EQ(FindMailClientProfile(dir.filePath("p/Mail/Local Folders")), dir.filePath("p"));
    EXPECT_EQ(FindMailClientProfile(dir.filePath("p/Mail/Local Folders/Sub.sbd")),
              dir.filePath("p"));
    EXPECT_EQ(FindMailClientProfile(dir.filePath("p/Mail")), dir.filePath("p"));
    EXPECT_EQ(FindMailClientProfile(dir.filePath("p/ImapMail/server/INBOX.sbd/deep")), "");
}

TEST(MailClientProfileTest, OnlyALiveProcessOnThisHostHoldsTheLockLink) {
    QTemporaryDir tmp;
    ClientProfile client;
    ASSERT_TRUE(client.create(tmp.path(), "Local Folders"));
    EXPECT_EQ(RunningMailClientLock(client.profile()), "") << "no lock at all";

    const struct {
        const char* what;
        QString host;
        qint64 pid;
        bool running;
    } cases[] = {
        {"a live process", ClientProfile::hostName(), qint64(::getpid()), true},
        // As the client writes it: the address its host name resolves to.
        {"a live process, by address", "127.0.0.1", qint64(::getpid()), true},
        {"an ended process, by address", "127.0.0.1", test::endedProcessId(), false},
        {"an ended process", ClientProfile::hostName(), test::endedProcessId(), false},
        {"another host", ClientProfile::hostName() + "-elsewhere", qint64(::getpid()), false},
        {"another address", "192.0.2.7", qint64(::getpid()), false},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(client.linkLock(c.host, c.pid));
        const QString lock = RunningMailClientLock(client.profile());
        EXPECT_EQ(!lock.isEmpty(), c.running) << c.what << ": " << lock.toStdString();
        if (c.running) {
            EXPECT_TRUE(lock.contains(client.profile() + "/lock")) << lock.toStdString();
        }
    }
}

TEST(MailClientProfileTest, AnFcntlLockOnTheParentLockShowsTheClientRuns) {
    QTemporaryDir tmp;
    ClientProfile client;
    ASSERT_TRUE(client.create(tmp.path(), "Local Folders"));
    // The file alone, left behind by a client that ended, is no lock.
    ASSERT_TRUE(test::writeFile(client.profile() + "/.parentlock", ""));
    EXPECT_EQ(RunningMailClientLock(client.profile()), "");
    ASSERT_TRUE(client.holdParentLock());
    const QString lock = RunningMailClientLock(client.profile());
    EXPECT_TRUE(lock.contains(client.profile() + "/.parentlock")) << lock.toStdString();
    client.releaseParentLock();
    EXPECT_EQ(RunningMailClientLock(client.profile()), "");
}
