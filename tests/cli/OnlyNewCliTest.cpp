// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/CliProcess.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace parcelo;

namespace {

// parcelo-cli export --only-new, run again and again over a copy of a sample store.
class OnlyNewCliTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        store = tmp.filePath(GetParam());
        dest = tmp.filePath("out");
        ASSERT_TRUE(QDir().mkpath(store) && QDir().mkpath(dest));
        ASSERT_TRUE(test::copyTree(test::examplesDir() + "/" + GetParam(), store));
    }

    bool maildir() const { return QString(GetParam()) == "Maildir"; }

    test::CliProcessResult exportOnlyNew(const QStringList& extra = {}) {
        return test::RunCliProcess(tmp.path(),
                                   QStringList{"export", "--store", store, "--dest", dest,
                                               "--app-folder", tmp.filePath("app"), "--only-new"} +
                                       extra);
    }

    // The message files under the destination and the Message-ID each holds.
    QMap<QString, QByteArray> exported() const {
        QMap<QString, QByteArray> files;
        static const QRegularExpression id(QStringLiteral("(?im)^Message-ID:\\s*(<[^>]+>)"));
        for (QDirIterator it(dest, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
            const QString path = it.next();
            if (!path.contains("/.parcelo/"))
                files[path] =
                    id.match(QString::fromLatin1(test::readFile(path))).captured(1).toLatin1();
        }
        return files;
    }

    // Five messages arrive: in the mbox Inbox, or as files in the Maildir's new/.
    void deliverFive() {
        for (int i = 1; i <= 5; ++i) {
            const QByteArray message = "From: New <new@example.com>\nSubject: new " +
                                       QByteArray::number(i) + "\nMessage-ID: <new" +
                                       QByteArray::number(i) +
                                       "@example.com>\nDate: Mon, 05 Jan 2009 10:00:00 +0000\n\n"
                                       "body\n";
            if (maildir()) {
                ASSERT_TRUE(test::writeFile(
                    store + "/new/170000000" + QString::number(i) + ".M1P1.test", message));
            } else {
                QFile inbox(store + "/Inbox");
                ASSERT_TRUE(inbox.open(QIODevice::Append));
                // As a delivery agent appends: the separator line, the message, an empty line.
                inbox.write("From new@example.com Mon Jan  5 10:00:00 2009\n" + message + "\n");
            }
        }
    }

    // The store records read and flagged as it does: Maildir flags, or status fields.
    void changeStates() {
        if (maildir()) {
            const QDir cur(store + "/cur");
            for (const QString& name : cur.entryList(QDir::Files)) {
                const QString flagged = name.left(name.indexOf(":2,") + 3) + "FRS";
                ASSERT_NE(flagged, name);
                ASSERT_TRUE(QFile::rename(cur.filePath(name), cur.filePath(flagged)));
            }
            return;
        }
        QByteArray inbox = test::readFile(store + "/Inbox");
        const qsizetype header = inbox.indexOf('\n') + 1;
        inbox.insert(header, "Status: RO\nX-Mozilla-Status: 0005\n");
        ASSERT_TRUE(test::writeFile(store + "/Inbox", inbox));
    }

    QTemporaryDir tmp;
    QString store, dest;
};

} // namespace

TEST_P(OnlyNewCliTest, RunsAfterTheFirstExportOnlyWhatArrivedSince) {
    const test::CliProcessResult first = exportOnlyNew();
    ASSERT_EQ(first.exitCode, 0) << first.err.toStdString();
    const int all = exported().size();
    ASSERT_GT(all, 5);
    EXPECT_EQ(first.out, QString("Task completed. %1 messages exported, Zero skipped as exported "
                                 "before.\n")
                             .arg(all));
    const QString none =
        QString("Task completed. Zero messages exported, %1 skipped as exported before.\n");
    EXPECT_EQ(exportOnlyNew().out, none.arg(all));

    // The user renames and moves every file; the naming settings change; the store's state of
    // the messages changes.
    const QString moved = dest + "/moved";
    ASSERT_TRUE(QDir().mkpath(moved));
    int n = 0;
    for (const QString& path : exported().keys())
        ASSERT_TRUE(QFile::rename(path, moved + "/" + QString::number(++n) + ".old"));
    changeStates();
    const QStringList naming{"--set", "FolderOption=0", "--set", "FileOption=5"};
    const test::CliProcessResult renamed = exportOnlyNew(naming);
    EXPECT_EQ(renamed.exitCode, 0) << renamed.err.toStdString();
    EXPECT_EQ(renamed.out, none.arg(all));

    deliverFive();
    const test::CliProcessResult third = exportOnlyNew(naming);
    EXPECT_EQ(third.exitCode, 0) << third.err.toStdString();
    EXPECT_EQ(third.out, QString("Task completed. 5 messages exported, %1 skipped as exported "
                                 "before.\n")
                             .arg(all));
    QStringList ids;
    const auto files = exported();
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        if (!it.key().startsWith(moved))
            ids.append(QString::fromLatin1(it.value()));
    ids.sort();
    EXPECT_EQ(ids, (QStringList{"<new1@example.com>", "<new2@example.com>", "<new3@example.com>",
                                "<new4@example.com>", "<new5@example.com>"}));
    EXPECT_EQ(exportOnlyNew().out, none.arg(all + 5));
}

// Without a progress bar to show, the store is not counted ahead of the export: the log still
// says how many messages each mailbox has, when it is read and when it is left out unchanged.
TEST_P(OnlyNewCliTest, TheLogCountsEachMailboxWithoutAProgressBar) {
    static const QRegularExpression scanned(QStringLiteral("Number of Scanned Messages: (\\w+)"));
    int all = -1;
    for (int run = 0; run < 2; ++run) {
        const QString app = tmp.filePath(QStringLiteral("app%1").arg(run));
        const test::CliProcessResult result =
            test::RunCliProcess(tmp.path(), QStringList{"export", "--store", store, "--dest", dest,
                                                        "--app-folder", app, "--only-new"});
        ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
        if (run == 0)
            all = exported().size();
        const QString log = QString::fromUtf8(test::readFile(app + "/Parcelo.log"));
        int sum = 0;
        int blocks = 0;
        for (auto it = scanned.globalMatch(log); it.hasNext(); ++blocks) {
            const QString count = it.next().captured(1);
            sum += count == "Zero" ? 0 : count == "One" ? 1 : count.toInt();
        }
        EXPECT_GT(blocks, 0) << log.toStdString();
        EXPECT_EQ(sum, all) << "run " << run << "\n" << log.toStdString();
    }
}

TEST_P(OnlyNewCliTest, AMessageChangedInPlaceWithItsFilesSizeAndTimeKeptIsExportedAgain) {
    ASSERT_EQ(exportOnlyNew().exitCode, 0);
    const QString none("Task completed. Zero messages exported, %1 skipped as exported before.\n");
    const int all = exported().size();
    ASSERT_EQ(exportOnlyNew().out, none.arg(all));

    // One letter of a body, in the mbox file or in a message file, is written over in place and
    // the file's time is set back: only its change time tells.
    const QString path = maildir()
                             ? store + "/cur/" + QDir(store + "/cur").entryList(QDir::Files)[0]
                             : store + "/Inbox";
    struct stat before {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &before), 0);
    QByteArray bytes = test::readFile(path);
    const qsizetype body = bytes.lastIndexOf("\n\n") - 1;
    ASSERT_GT(body, 0);
    bytes[body] = bytes[body] == 'x' ? 'y' : 'x';
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_EQ(file.write(bytes), bytes.size());
    file.close();
    const struct timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);

    const test::CliProcessResult changed = exportOnlyNew();
    EXPECT_EQ(changed.exitCode, 0) << changed.err.toStdString();
    EXPECT_EQ(changed.out,
              QString("Task completed. One messages exported, %1 skipped as exported before.\n")
                  .arg(all - 1));
}

INSTANTIATE_TEST_SUITE_P(SampleStores, OnlyNewCliTest,
                         ::testing::Values("Local Folders", "Maildir"), [](const auto& info) {
                             return std::string(info.param) == "Maildir" ? "Maildir" : "Mbox";
                         });

TEST(OnlyNewCli, AListThatCannotBeUsedIsAUsageErrorAndTheSettingIsAKey) {
    QTemporaryDir tmp;
    const QString dest = tmp.filePath("out");
    ASSERT_TRUE(QDir().mkpath(dest + "/.parcelo"));
    ASSERT_TRUE(test::writeFile(dest + "/.parcelo/exported", "PARCELO-EXPORTED\x07"));
    const QStringList base{"export",           "--store", test::examplesDir() + "/Maildir",
                           "--dest",           dest,      "--app-folder",
                           tmp.filePath("app")};
    for (const QStringList& onlyNew : {QStringList{"--only-new"}, {"--set", "OnlyNew=1"}}) {
        const test::CliProcessResult result = test::RunCliProcess(tmp.path(), base + onlyNew);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_EQ(result.err, "parcelo-cli: The list of the messages exported to this folder, '" +
                                  dest +
                                  "/.parcelo/exported', cannot be used: it is not a list of "
                                  "exported messages.\n");
        EXPECT_TRUE(result.out.isEmpty());
    }
    // Without the setting the list is not looked at.
    const test::CliProcessResult plain = test::RunCliProcess(tmp.path(), base);
    EXPECT_EQ(plain.exitCode, 0) << plain.err.toStdString();
    EXPECT_EQ(plain.out, "Task completed. 8 messages exported.\n");
}
