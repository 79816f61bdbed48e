// SPDX-License-Identifier: GPL-3.0-or-later
// parcelo-cli exporting an mbox on which another program holds a lock, as a mail server does
// while it reads (a shared lock) or writes (an exclusive one) the mailbox.
#include "support/CliProcess.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace parcelo;

namespace {

// Locks the file with lockf (an fcntl record lock), says its process id and holds the lock until
// its input closes.
const char* const kLockHolder = R"(
import fcntl, os, sys
mailbox = open(sys.argv[1], "r+b")
fcntl.lockf(mailbox, fcntl.LOCK_EX if sys.argv[2] == "exclusive" else fcntl.LOCK_SH)
print(os.getpid(), flush=True)
sys.stdin.read()
)";

QByteArray Mailbox(int messages) {
    QByteArray mailbox;
    for (int i = 0; i < messages; ++i)
        mailbox += "From MAILER-DAEMON Mon Jan  5 10:00:00 2009\nFrom: Ann <ann@example.com>\n"
                   "Subject: Message " +
                   QByteArray::number(i) + "\nDate: Mon, 05 Jan 2009 10:00:00 +0000\n\nbody " +
                   QByteArray::number(i) + "\n\n";
    return mailbox;
}

int FileCount(const QString& dir) {
    int count = 0;
    for (QDirIterator it(dir, QDir::Files, QDirIterator::Subdirectories); it.hasNext(); it.next())
        ++count;
    return count;
}

} // namespace

// A shared lock is another reader's: the export reads alongside it. An exclusive one is a
// writer's: the export waits for it a while, then reads the folder and says who held the lock.
TEST(MailboxLock, AReaderIsNoHindranceAndAWriterThatStaysIsNamed) {
    for (const char* kind : {"shared", "exclusive"}) {
        SCOPED_TRACE(kind);
        const bool exclusive = QLatin1String(kind) == QLatin1String("exclusive");
        QTemporaryDir tmp;
        const QString mailbox = tmp.filePath("store/Inbox");
        ASSERT_TRUE(QDir().mkpath(tmp.filePath("store")) && QDir().mkpath(tmp.filePath("out")));
        const QByteArray bytes = Mailbox(5);
        ASSERT_TRUE(test::writeFile(mailbox, bytes));

        QProcess holder;
        holder.start("python3", {"-c", kLockHolder, mailbox, kind});
        if (!holder.waitForStarted())
            GTEST_SKIP() << "python3 is not there to hold the lock";
        ASSERT_TRUE(holder.waitForReadyRead(30000)) << holder.readAllStandardError().toStdString();
        const QByteArray holderId = holder.readAllStandardOutput().trimmed();
        ASSERT_GT(holderId.toLongLong(), 0);

        const test::CliProcessResult run = test::RunCliProcess(
            tmp.path(), {"export", "--store", tmp.filePath("store"), "--dest", tmp.filePath("out"),
                         "--app-folder", tmp.filePath("app")});
        holder.closeWriteChannel();
        EXPECT_TRUE(holder.waitForFinished(30000));

        EXPECT_EQ(FileCount(tmp.filePath("out")), 5);
        EXPECT_EQ(test::readFile(mailbox), bytes);
        EXPECT_TRUE(run.out.contains("5 messages exported")) << run.out.toStdString();
        if (!exclusive) {
            EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
            EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
            continue;
        }
        EXPECT_EQ(run.exitCode, 3);
        EXPECT_EQ(run.err.count("parcelo-cli: warning:"), 1) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains("the mail folder 'store\\Inbox' was read without its lock"))
            << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QStringLiteral("process %1 held an fcntl lock on %2")
                                         .arg(QString::fromLatin1(holderId))
                                         .arg(mailbox)))
            << run.err.toStdString();
    }
}
