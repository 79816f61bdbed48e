// SPDX-License-Identifier: GPL-3.0-or-later
// A sender may write the mail client's status fields into a message. parcelo-cli reads them
// only in the client's block right after the separator line: further down they neither hide
// the message from the export nor let a compacting run drop it, nor make it read or flagged.
#include "support/CliProcess.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace parcelo;

namespace {

const QByteArray kInbox = "From - Mon Jan  5 10:00:00 2009\n"
                          "X-Account-Key: account2\nX-UIDL: UID1\nX-Mozilla-Status: 0005\n"
                          "X-Mozilla-Status2: 00000000\nX-Mozilla-Keys: \n"
                          "From: a@example.com\nSubject: client block\n\nbody\n\n"
                          "From - Mon Jan  5 10:01:00 2009\n"
                          "From: b@example.com\nSubject: sender hides it\n"
                          "X-Mozilla-Status: 0008\n\nbody\n\n"
                          "From - Mon Jan  5 10:02:00 2009\n"
                          "Received: by mx.example.com\nX-Mozilla-Status: 0005\n"
                          "Subject: sender flags it\n\nbody\n\n"
                          "From - Mon Jan  5 10:03:00 2009\n"
                          "X-Mozilla-Status: 0009\nSubject: deleted by the client\n\nbody\n";

class SendersStatusFieldsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        store = tmp.filePath("store");
        ASSERT_TRUE(QDir().mkpath(store));
        ASSERT_TRUE(test::writeFile(store + "/Inbox", kInbox));
    }

    // Exports into a fresh destination; returns the names of the files written.
    QStringList exportWith(const QString& name, const QStringList& more) {
        const QString dest = tmp.filePath(name);
        EXPECT_TRUE(QDir().mkpath(dest));
        const test::CliProcessResult run = test::RunCliProcess(
            tmp.path(), QStringList{"export", "--store", store, "--dest", dest, "--app-folder",
                                    tmp.filePath("app"), "--set", "FolderOption=0"} +
                            more);
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        QStringList files;
        for (QDirIterator it(dest, QDir::Files); it.hasNext();)
            files << QFileInfo(it.next()).fileName();
        files.sort();
        return files;
    }

    // A filter set with one list filter: the criterion is the value.
    QString filterSet(int criteria, int value) {
        const QString path = tmp.filePath(QStringLiteral("filter%1.xml").arg(criteria));
        EXPECT_TRUE(test::writeFile(
            path, "<?xml version=\"1.0\" encoding=\"ISO-8859-2\"?>\r\n<filters>\r\n<body>\r\n"
                  "<filter Criteria=\"" +
                      QByteArray::number(criteria) +
                      "\" ConjunctionOption=\"0\" TextField=\"\" MatchCase=\"0\" "
                      "NumericField=\"0\" Date=\"\" NumericValue=\"" +
                      QByteArray::number(value) + "\"/>\r\n</body>\r\n</filters>\r\n"));
        return path;
    }

    QTemporaryDir tmp;
    QString store;
};

} // namespace

TEST_F(SendersStatusFieldsTest, AreNeitherHiddenNorReadNorFlaggedNorCompactedAway) {
    constexpr int kStatus = 7, kUnread = 0, kFlag = 8, kPresent = 1;
    EXPECT_EQ(exportWith("unread", {"--filters", filterSet(kStatus, kUnread)}),
              (QStringList{"sender flags it.eml", "sender hides it.eml"}));
    EXPECT_EQ(exportWith("flagged", {"--filters", filterSet(kFlag, kPresent)}),
              QStringList{"client block.eml"});

    EXPECT_EQ(exportWith("all", {"--set", "ActionMarkRead=1", "--set", "CompactMailboxes=1"}),
              (QStringList{"client block.eml", "sender flags it.eml", "sender hides it.eml"}));
    // What is left, as Python's mailbox reads it: the client's deleted message compacted away,
    // the sender's fields as they were, below the block that marks the message read.
    QProcess python;
    python.start("python3", {"-c",
                             "import mailbox, sys\n"
                             "for m in mailbox.mbox(sys.argv[1], create=False):\n"
                             "    print(m['Subject'], m.get_all('X-Mozilla-Status'))\n",
                             store + "/Inbox"});
    ASSERT_TRUE(python.waitForFinished(60000));
    EXPECT_EQ(python.readAllStandardOutput(), "client block ['0005']\n"
                                              "sender hides it ['0001', '0008']\n"
                                              "sender flags it ['0001', '0005']\n")
        << python.readAllStandardError().toStdString();
}
