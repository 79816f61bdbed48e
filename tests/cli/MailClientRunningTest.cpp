#include "support/ClientProfile.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>
#include <unistd.h>

using namespace parcelo;
using parcelo::test::ClientProfile;

namespace {

struct ExportRun {
    int exitCode = -1;
    QString out;
    QString err;
};

// A deleting, compacting export of the whole store by the command line.
ExportRun ExportDeleting(const QTemporaryDir& tmp, const QString& store) {
    QDir().mkpath(tmp.filePath("out"));
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", tmp.filePath("config"));
    env.insert("XDG_DATA_HOME", tmp.filePath("data"));
    env.insert("TZ", "UTC");
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(PARCELO_CLI_PATH),
                  {"export", "--store", store, "--dest", tmp.filePath("out"), "--app-folder",
                   tmp.filePath("app"), "--set", "ActionDelete=1", "--set", "ActionMarkRead=1",
                   "--set", "CompactMailboxes=1"});
    EXPECT_TRUE(process.waitForFinished(120000));
    return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
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

        const ExportRun run = ExportDeleting(tmp, client.store());
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
    ASSERT_TRUE(client.linkLock(ClientProfile::hostName(), ClientProfile::deadPid()));
    ASSERT_TRUE(test::writeFile(client.profile() + "/.parentlock", ""));
    const auto before = FilesUnder(client.store());

    const ExportRun run = ExportDeleting(tmp, client.store());
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
    EXPECT_FALSE(FilesUnder(client.store()) == before) << "nothing was deleted";
}

INSTANTIATE_TEST_SUITE_P(BothStores, MailClientRunningTest,
                         ::testing::Values("Local Folders", "Maildir"));
