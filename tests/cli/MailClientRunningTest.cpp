// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/CliProcess.h"
#include "support/ClientProfile.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QDirIterator>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>
#include <unistd.h>

using namespace parcelo;
using parcelo::test::ClientProfile;

namespace {

// A deleting, compacting export of the whole store by the command line.
test::CliProcessResult ExportDeleting(const QTemporaryDir& tmp, const QString& store) {
    QDir().mkpath(tmp.filePath("out"));
    return test::RunCliProcess(tmp.path(),
                               {"export", "--store", store, "--dest", tmp.filePath("out"),
                                "--app-folder", tmp.filePath("app"), "--set", "ActionDelete=1",
                                "--set", "ActionMarkRead=1", "--set", "CompactMailboxes=1"});
}

std::map<QString, QByteArray> FilesUnder(const QString& dir) {
    std::map<QString, QByteArray> files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files[path] = test::readFile(path);
    }
    return files;
}

int FileCount(const QString& dir) {
    return int(FilesUnder(dir).size());
}

} // namespace

class MailClientRunningTest : public ::testing::TestWithParam<const char*> {};

TEST_P(MailClientRunningTest, ExportsButChangesNothingWhileTheClientRuns) {
    for (const char* lock : {"lock link", ".parentlock"}) {
        SCOPED_TRACE(lock);
        QTemporaryDir tmp;
        ClientProfile client;
        ASSERT_TRUE(client.create(tmp.path(), GetParam()));
        if (QLatin1String(lock) == QLatin1String("lock link"))
            ASSERT_TRUE(client.linkLock(ClientProfile::hostName(), ::getpid()));
        else
            ASSERT_TRUE(client.holdParentLock());
        const auto before = FilesUnder(client.store());

        const test::CliProcessResult run = ExportDeleting(tmp, client.store());
        EXPECT_EQ(run.exitCode, 3);
        EXPECT_TRUE(run.out.startsWith("Task completed. ")) << run.out.toStdString();
        EXPECT_GT(FileCount(tmp.filePath("out")), 0);
        EXPECT_EQ(run.err.count("parcelo-cli: warning:"), 1) << run.err.toStdString();
        const QString lockPath =
            client.profile() + (QLatin1String(lock) == QLatin1String("lock link")
                                    ? QStringLiteral("/lock")
                                    : QStringLiteral("/.parentlock"));
        EXPECT_TRUE(run.err.contains("the mail client is running") && run.err.contains(lockPath))
            << run.err.toStdString();
        EXPECT_TRUE(FilesUnder(client.store()) == before) << "the store was changed";
    }
}

TEST_P(MailClientRunningTest, AStaleLockDoesNotStopTheSourceActions) {
    QTemporaryDir tmp;
    ClientProfile client;
    ASSERT_TRUE(client.create(tmp.path(), GetParam()));
    ASSERT_TRUE(client.linkLock(ClientProfile::hostName(), test::endedProcessId()));
    ASSERT_TRUE(test::writeFile(client.profile() + "/.parentlock", ""));
    const auto before = FilesUnder(client.store());

    const test::CliProcessResult run = ExportDeleting(tmp, client.store());
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
    EXPECT_FALSE(FilesUnder(client.store()) == before) << "nothing was deleted";
}

INSTANTIATE_TEST_SUITE_P(BothStores, MailClientRunningTest,
                         ::testing::Values("Local Folders", "Maildir"));
