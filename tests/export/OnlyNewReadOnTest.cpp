// SPDX-License-Identifier: GPL-3.0-or-later
// Exporting only new messages from an mbox that mail is added to between runs, and that other
// programs change: each run exports exactly the messages no run exported before, whether it
// reads the file on from where the last run stopped or from its start.
#include "export/ExportSession.h"
#include "support/StoreTestSupport.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace parcelo;

namespace {

struct QuietObserver : IExportObserver {
    void SetProgress(int) override {}
    void SetStatusText(const QString&) override {}
};

// A message as a delivery agent appends it, of a size that does not depend on its number
// below 10: the status block the mail client writes, the message and an empty line.
QByteArray Delivered(int number) {
    QByteArray message = "From MAILER-DAEMON Mon Jan  5 10:00:00 2009\nX-Mozilla-Status: 0000\n"
                         "From: Sender <s@example.com>\nSubject: Message " +
                         QByteArray::number(number) + "\nMessage-ID: <" +
                         QByteArray::number(number) + "@example.com>\n\n";
    for (int line = 0; line < 40; ++line)
        message += "message " + QByteArray::number(number) + " line " +
                   QByteArray::number(line % 10) + " of its body\n";
    return message + "\n";
}

class OnlyNewReadOnTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(store.isValid() && dest.isValid() && appDir.isValid());
        settings.Paths = AppPaths::ForFolder(appDir.path());
        settings.FolderPath = dest.path() + "/";
        settings.OnlyNew = 1;
        inbox = store.filePath("Inbox");
    }

    ExportCommandResult run() {
        auto opened = test::OpenStore(store.path());
        FolderTreeModel tree;
        tree.PopulateFolderTree(*opened);
        tree.CheckAll();
        QuietObserver observer;
        ExportSession session(settings, *opened, observer);
        return session.OnExportMessages(tree);
    }

    bool append(const QByteArray& bytes) const {
        QFile file(inbox);
        return file.open(QIODevice::Append) && file.write(bytes) == bytes.size();
    }

    // The subject of every message file written, as often as one was written.
    QStringList exportedSubjects() const {
        static const QRegularExpression subject(QStringLiteral("(?m)^Subject: ([^\r\n]*)"));
        QStringList subjects;
        for (QDirIterator it(dest.path(), QDir::Files, QDirIterator::Subdirectories);
             it.hasNext();) {
            const QString path = it.next();
            if (!path.contains("/.parcelo/"))
                subjects.append(
                    subject.match(QString::fromLatin1(test::readFile(path))).captured(1));
        }
        subjects.sort();
        return subjects;
    }

    QTemporaryDir store, dest, appDir;
    ExportSettings settings;
    QString inbox;
};

QStringList Numbered(int from, int to) {
    QStringList subjects;
    for (int number = from; number <= to; ++number)
        subjects.append(QStringLiteral("Message %1").arg(number));
    return subjects;
}

} // namespace

TEST_F(OnlyNewReadOnTest, EachRunExportsExactlyWhatNoRunExportedBefore) {
    QByteArray mailbox;
    for (int number = 1; number <= 5; ++number)
        mailbox += Delivered(number);
    ASSERT_TRUE(test::writeFile(inbox, mailbox));
    ASSERT_EQ(run().Exported, 5);

    ASSERT_TRUE(append(Delivered(6) + Delivered(7)));
    ExportCommandResult result = run();
    EXPECT_EQ(result.Exported, 2);
    EXPECT_EQ(result.Skipped, 5);
    EXPECT_TRUE(result.Problems.isEmpty()) << result.Problems.join('\n').toStdString();
    EXPECT_EQ(exportedSubjects(), Numbered(1, 7));

    // The mail client marks the last message read in place.
    mailbox = test::readFile(inbox);
    const qsizetype status = mailbox.lastIndexOf("X-Mozilla-Status: 0000");
    QFile file(inbox);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite) && file.seek(status + 18) && file.write("0001"));
    file.close();
    result = run();
    EXPECT_EQ(result.Exported, 0);
    EXPECT_EQ(result.Skipped, 7);

    // The first message is deleted and the file compacted in place; two are delivered, the
    // first as long as the message deleted, so that the file's old end is where the second
    // starts.
    mailbox = test::readFile(inbox);
    ASSERT_TRUE(
        test::writeFile(inbox, mailbox.mid(Delivered(1).size()) + Delivered(8) + Delivered(9)));
    result = run();
    EXPECT_EQ(result.Exported, 2);
    EXPECT_EQ(result.Skipped, 6);
    EXPECT_EQ(exportedSubjects(), Numbered(1, 9));

    EXPECT_EQ(run().Exported, 0);
    EXPECT_EQ(exportedSubjects(), Numbered(1, 9));
}
