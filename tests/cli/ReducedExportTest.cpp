// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/TestEnv.h"

#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace parcelo;

namespace {

// Exports the sample store with header and attachment choices and reads the files back with
// Python's email package.
class ReducedExportTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        store = tmp.filePath("Local Folders");
        appFolder = tmp.filePath("app");
        ASSERT_TRUE(QDir().mkpath(store) && QDir().mkpath(appFolder));
        ASSERT_TRUE(test::copyTree(test::examplesDir() + "/Local Folders", store));
    }

    static int run(const QString& program, const QStringList& arguments, QString* output) {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(program, arguments);
        if (!process.waitForFinished(120000))
            return -1;
        *output = QString::fromLocal8Bit(process.readAll());
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    // One export into a fresh destination; returns that destination.
    QString exportWith(const QString& name, const QStringList& sets) {
        const QString dest = tmp.filePath(name);
        EXPECT_TRUE(QDir().mkpath(dest));
        QStringList arguments{"export", "--store",      store,    "--dest",
                              dest,     "--app-folder", appFolder};
        for (const QString& set : sets)
            arguments << "--set" << set;
        QString output;
        EXPECT_EQ(run(QStringLiteral(PARCELO_CLI_PATH), arguments, &output), 0)
            << output.toStdString();
        return dest;
    }

    // Python's email package reads each file of a reduced export against the same file of the
    // whole export.
    void expectReadBack(const QString& whole, const QString& dest, const QStringList& arguments) {
        QString output;
        const int status = run(
            QStringLiteral("python3"),
            QStringList{QStringLiteral(PARCELO_SOURCE_DIR "/tests/scripts/check_reduced_export.py"),
                        "--whole", whole, "--dest", dest, "--min-files", "31"} +
                arguments,
            &output);
        EXPECT_EQ(status, 0) << output.toStdString();
    }

    QString lastLogLines() const {
        const QString log =
            QString::fromUtf8(test::readFile(QDir(appFolder).filePath("Parcelo.log")));
        const qsizetype at = log.lastIndexOf("Exported Headers:");
        return at < 0 ? QString() : log.mid(at, log.indexOf("Total", at) - at);
    }

    static QMap<QString, QByteArray> files(const QString& dest) {
        QMap<QString, QByteArray> result;
        QDirIterator it(dest, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            result.insert(QDir(dest).relativeFilePath(path), test::readFile(path));
        }
        return result;
    }

    QTemporaryDir tmp;
    QString store, appFolder;
};

} // namespace

TEST_F(ReducedExportTest, SomeHeadersAndNoAttachments) {
    const QString whole = exportWith("whole", {});
    ASSERT_TRUE(test::writeFile(QDir(appFolder).filePath("Headers.lst"), "Subject\r\nFrom\r\n"));
    const QString dest = exportWith("some-none", {"ExportHeaders=1", "ExportAttachments=0"});
    // The sample store holds four attachments in three messages.
    EXPECT_EQ(lastLogLines(), "Exported Headers: Some: Subject, From\r\n"
                              "Exported Attachments: None (left out 4 from 3 messages)\r\n");
    expectReadBack(whole, dest,
                   {"--headers", "1", "--header-names", "Subject,From", "--attachments", "0"});
}

TEST_F(ReducedExportTest, AllHeadersAndOneNamedAttachment) {
    const QString whole = exportWith("whole", {});
    ASSERT_TRUE(test::writeFile(QDir(appFolder).filePath("Attachments.lst"), "figures.csv\r\n"));
    const QString dest = exportWith("all-some", {"ExportHeaders=2", "ExportAttachments=1"});
    EXPECT_EQ(lastLogLines(),
              "Exported Headers: All\r\n"
              "Exported Attachments: Some: figures.csv (kept 1, left out 3 from 3 messages)\r\n");
    expectReadBack(whole, dest,
                   {"--headers", "2", "--attachments", "1", "--attachment-names", "figures.csv"});
    bool sawKept = false;
    for (const QByteArray& bytes : files(dest)) {
        EXPECT_FALSE(bytes.contains("chart.png"));
        sawKept = sawKept || bytes.contains("filename=\"figures.csv\"");
    }
    EXPECT_TRUE(sawKept);
}

TEST_F(ReducedExportTest, BothAllWritesTheWholeMessagesAsBefore) {
    const QString plain = exportWith("plain", {});
    ASSERT_TRUE(test::writeFile(QDir(appFolder).filePath("Headers.lst"), "Subject\r\n"));
    ASSERT_TRUE(test::writeFile(QDir(appFolder).filePath("Attachments.lst"), "chart.png\r\n"));
    const QString all = exportWith("all", {"ExportHeaders=2", "ExportAttachments=2"});
    EXPECT_EQ(lastLogLines(), "Exported Headers: All\r\nExported Attachments: All\r\n");
    const QMap<QString, QByteArray> before = files(plain);
    EXPECT_EQ(before.size(), 31);
    EXPECT_EQ(files(all), before);
}

// Messages of the outside corpus that lost content before: a patch followed by a list footer, a
// type without a subtype, signed ones (S/MIME in one part, PGP with and without a list footer),
// file names in RFC 2231 pieces, images the HTML shows, a calendar invitation, an attached
// message, and a message that is one attachment.
TEST_F(ReducedExportTest, CorpusMessagesThatLostContentKeepIt) {
    PARCELO_REQUIRE_CORPUS();
    const QStringList messages{
        "notmuch/lkml/cur/1382298793.002267:2,",
        "comm-central/mailnews/test/data/bare-text-type.eml",
        "notmuch/pkcs7/smime-onepart-signed.eml",
        "notmuch/protected-headers/simple-signed-mail.eml",
        "comm-central/mail/test/browser/openpgp/data/eml/signed-with-mailman-footer.eml",
        "spamscope-mail-parser/mail_test_5",
        "comm-central/mail/test/browser/message-window/data/test-alt-rel-with-attach.eml",
        "comm-central/calendar/test/browser/invitations/data/single-event.eml",
        "comm-central/mail/components/extensions/test/browser/messages/attachedMessageSample.eml",
        "comm-central/mail/components/extensions/test/xpcshell/messages/attachmentOnly.eml",
    };
    QStringList arguments{
        QStringLiteral(PARCELO_SOURCE_DIR "/tests/scripts/check_reduced_export.py"),
        "--corpus",
        test::corpusDir(),
        "--cli",
        QStringLiteral(PARCELO_CLI_PATH),
        "--tmp",
        tmp.path(),
        "--min-share",
        "100",
        "--attachment-names",
        "mailingassets_d68799cd6301c7f5731a3c42946e528bcb78eb84.jpg,yellowball.png"};
    for (const QString& message : messages)
        arguments << "--only" << message;
    QString output;
    EXPECT_EQ(run(QStringLiteral("python3"), arguments, &output), 0) << output.toStdString();
}
