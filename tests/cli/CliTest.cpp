// SPDX-License-Identifier: GPL-3.0-or-later
#include "../export/ScopedFileSizeLimit.h"
#include "cli/CliRun.h"
#include "filters/DescribeFilters.h"
#include "filters/FilterSetFile.h"
#include "support/CliProcess.h"
#include "support/FakeStore.h"
#include "support/TestEnv.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <sys/stat.h>

using namespace parcelo;

namespace {

struct CliResult {
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs parcelo-cli from outside, with its own settings and data folders.
class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        store = tmp.filePath("Local Folders");
        dest = tmp.filePath("out");
        appFolder = tmp.filePath("app");
        ASSERT_TRUE(QDir().mkpath(store) && QDir().mkpath(dest));
        ASSERT_TRUE(test::copyTree(test::examplesDir() + "/Local Folders", store));
    }

    CliResult run(const QStringList& arguments, const QString& pathPrefix = {}) {
        const test::CliProcessResult ran = test::RunCliProcess(tmp.path(), arguments, pathPrefix);
        return {ran.exitCode, ran.out, ran.err};
    }

    // Runs the command line in this process over a store of the test's making.
    CliResult runWith(const QStringList& arguments, std::function<void(test::FakeStore&)> build) {
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        const cli::StoreOpener open = [&build](const QString&, QString*) {
            auto store = std::make_unique<test::FakeStore>();
            build(*store);
            return std::unique_ptr<IStoreNamespace>(std::move(store));
        };
        const int exitCode = cli::RunCli(arguments, open, {out, err});
        auto text = [](std::FILE* file) {
            std::fflush(file);
            std::rewind(file);
            QByteArray bytes;
            char buffer[4096];
            for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
                bytes.append(buffer, qsizetype(n));
            std::fclose(file);
            return QString::fromLocal8Bit(bytes);
        };
        return {exitCode, text(out), text(err)};
    }

    CliResult exportStore(QStringList extra = {}) {
        return run(
            QStringList{"export", "--store", store, "--dest", dest, "--app-folder", appFolder} +
            extra);
    }

    QStringList exportedFiles() const {
        QStringList files;
        QDirIterator it(dest, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            files.append(QDir(dest).relativeFilePath(it.next()));
        files.sort();
        return files;
    }

    QTemporaryDir tmp;
    QString store, dest, appFolder;
};

} // namespace

TEST_F(CliTest, TreePrintsTheSortedFolderTree) {
    const CliResult mbox = run({"tree", "--store", test::examplesDir() + "/Local Folders"});
    EXPECT_EQ(mbox.exitCode, 0) << mbox.err.toStdString();
    EXPECT_EQ(mbox.out, "Local Folders\n"
                        "  Archives\n"
                        "    2008 [2]\n"
                        "  Archives\n"
                        "  Drafts\n"
                        "  Inbox [12]\n"
                        "  Newsletters [3]\n"
                        "  Projects\n"
                        "    Alpha [3]\n"
                        "    Beta\n"
                        "      Archive [2]\n"
                        "    Beta [2]\n"
                        "  Projects [3]\n"
                        "  Sent [4]\n");
    const CliResult maildir = run({"tree", "--store", test::examplesDir() + "/Maildir"});
    EXPECT_EQ(maildir.exitCode, 0) << maildir.err.toStdString();
    EXPECT_EQ(maildir.out, QString::fromUtf8("Maildir\n"
                                             "  Café [1]\n"
                                             "  Inbox [4]\n"
                                             "  Work\n"
                                             "    Reports [1]\n"
                                             "  Work [2]\n"));
}

TEST_F(CliTest, ExportWritesOneFilePerMessageOfEveryMailbox) {
    const CliResult result = exportStore();
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(result.out, "Task completed. 31 messages exported.\n");
    EXPECT_EQ(exportedFiles().size(), 31);
}

TEST_F(CliTest, ExportOfChosenFoldersOnly) {
    const CliResult result =
        exportStore({"--folder", "Local Folders\\Projects\\Beta", "--folder",
                     "Local Folders\\Projects\\Beta", "--folder", "Local Folders\\Sent"});
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(result.out, "Task completed. 6 messages exported.\n");
}

TEST_F(CliTest, AFolderPathInAnySpellingOfItsEscapesChoosesItsMailbox) {
    const QString maildir = tmp.filePath("Maildir");
    ASSERT_TRUE(test::copyTree(test::examplesDir() + "/Maildir", maildir));
    const CliResult result =
        run({"export", "--store", maildir, "--dest", dest, "--app-folder", appFolder, "--folder",
             "Maildir\\Caf%c3%a9", "--folder", "Maildir\\Work", "--folder",
             "Maildir\\Caf\u00e9"});
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(result.out, "Task completed. 3 messages exported.\n");
}

TEST_F(CliTest, ErrorsAndExitCodes) {
    struct Case {
        QStringList arguments;
        int exitCode;
        const char* errorText;
    } cases[] = {
        {{"export", "--store", "STORE", "--dest", "DEST/missing"},
         2,
         "Please specify the root folder."},
        {{"export", "--store", "STORE", "--dest", "DEST", "--folder", "Local Folders\\Nope"},
         2,
         "no mailbox"},
        {{"export", "--store", "STORE", "--dest", "DEST", "--folder", "Local Folders\\Projects"},
         0,
         ""},
        {{"export", "--store", "STORE", "--dest", "DEST", "--set", "Colour=1"},
         2,
         "unknown setting"},
        {{"export", "--store", "STORE", "--dest", "DEST", "--set", "LastCategory=1"},
         2,
         "unknown setting"},
        {{"export", "--store", "STORE", "--dest", "DEST", "--set", "FileOption=four"},
         2,
         "whole number"},
        {{"export", "--store", "STORE", "--dest", "DEST", "--set", "FileOption"}, 2, "KEY=VALUE"},
        {{"export", "--store", "STORE/nothing-here"}, 1, "cannot open the store"},
        {{"tree"}, 2, "--store"},
        {{"frobnicate"}, 2, "unknown command"},
        {{"tree", "--store", "STORE", "--dest", "DEST"}, 2, "unknown option"},
    };
    for (const Case& c : cases) {
        QStringList arguments;
        for (QString a : c.arguments)
            arguments.append(a.replace("STORE", store).replace("DEST", dest));
        arguments << "--app-folder" << appFolder;
        if (c.arguments.front() != "export")
            arguments.resize(arguments.size() - 2);
        const CliResult result = run(arguments);
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        EXPECT_EQ(result.exitCode, c.exitCode) << result.err.toStdString();
        EXPECT_TRUE(result.err.contains(c.errorText)) << result.err.toStdString();
        if (c.exitCode != 0) {
            EXPECT_TRUE(result.out.isEmpty());
        }
    }
    // An application folder that cannot be made: the reason names the file in the way.
    const CliResult noAppFolder = run(
        {"export", "--store", store, "--dest", dest, "--app-folder", store + "/Inbox/app"});
    EXPECT_EQ(noAppFolder.exitCode, 2);
    EXPECT_TRUE(noAppFolder.err.contains("cannot create the application folder '" + store +
                                         "/Inbox/app': " + store + "/Inbox: Not a directory"))
        << noAppFolder.err.toStdString();

    EXPECT_EQ(run({"--version"}).exitCode, 0);
    EXPECT_TRUE(run({"--help"}).out.contains("parcelo-cli export"));
}

// The licence the program names is the one the source tree ships.
TEST_F(CliTest, VersionNamesTheVersionAndTheLicence) {
    const CliResult version = run({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    const QStringList lines = version.out.split('\n');
    EXPECT_EQ(lines.front(), "parcelo-cli " PARCELO_VERSION);
    EXPECT_TRUE(version.out.contains("GPL-3.0-or-later: GNU General Public License, version 3 or "
                                     "later"))
        << version.out.toStdString();
    const QByteArray license = test::readFile(PARCELO_SOURCE_DIR "/LICENSE");
    EXPECT_TRUE(license.simplified().startsWith(
        "GNU GENERAL PUBLIC LICENSE Version 3, 29 June 2007"));
}

TEST_F(CliTest, ExportWithAFilterSetTakesOnlyWhatPasses) {
    const QString filters = tmp.filePath("lunch.xml");
    ASSERT_TRUE(test::writeFile(
        filters,
        "<?xml version=\"1.0\" encoding=\"ISO-8859-2\"?>\r\n<filters>\r\n<body>\r\n"
        "<filter Criteria=\"1\" ConjunctionOption=\"0\" TextField=\"LUNCH\" MatchCase=\"0\" "
        "NumericField=\"0\" Date=\"\" NumericValue=\"0\"/>\r\n</body>\r\n</filters>\r\n"));
    const CliResult result = exportStore({"--filters", filters, "--set", "FolderOption=0"});
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(result.out, "Task completed. 2 messages exported.\n");
    EXPECT_EQ(exportedFiles(), (QStringList{"Lunch on Friday.eml", "Lunch on Friday_1.eml"}));

    FilterState state;
    ASSERT_TRUE(LoadFilterSet(filters, state.items).ok());
    const QString log = QString::fromUtf8(test::readFile(appFolder + "/Parcelo.log"));
    EXPECT_TRUE(log.contains("\r\nApplied Filter(s): " + DescribeFilters(state) +
                             "\r\nExported Headers: All\r\n"))
        << log.toStdString();
    EXPECT_TRUE(log.contains(
        "Total number of exported messages: 2\r\nTotal number of scanned messages: 31\r\n"));

    // Suspended filters let every message through.
    const CliResult all = exportStore({"--filters", filters, "--set", "MatchAllMessages=1"});
    EXPECT_EQ(all.out, "Task completed. 31 messages exported.\n");

    // A filter set that cannot be read is an error, never "export everything".
    for (const QString& bad : {tmp.filePath("missing.xml"), tmp.path()}) {
        const CliResult refused = exportStore({"--filters", bad, "--set", "ActionDelete=1"});
        EXPECT_EQ(refused.exitCode, 2);
        EXPECT_TRUE(refused.err.contains("cannot use the filter set"));
    }
    EXPECT_TRUE(run({"tree", "--store", store}).out.contains("  Inbox [12]\n")); // nothing deleted
}

TEST_F(CliTest, LogAndIndexPageOfTwoRunsOverTheSampleStore) {
    const QStringList folders{"--folder", "Local Folders\\Inbox", "--folder",
                              "Local Folders\\Projects\\Beta"};
    ASSERT_EQ(exportStore(folders).exitCode, 0);
    ASSERT_EQ(
        exportStore(folders + QStringList{"--set", "ActionMarkRead=1", "--set", "ActionDelete=1"})
            .exitCode,
        0);

    const QString log = QString::fromUtf8(test::readFile(appFolder + "/Parcelo.log"));
    auto record = [](const QString& actions, int exported) {
        return QStringLiteral("DATE\r\nExport initialized at TIME\r\n\r\n"
                              "Mailbox: Beta\r\nNumber of Scanned Messages: 2\r\nNumber of "
                              "Exported Messages: 2\r\n"
                              "%1\r\n\r\n"
                              "Mailbox: Inbox\r\nNumber of Scanned Messages: 12\r\nNumber of "
                              "Exported Messages: %2\r\n"
                              "%1\r\n\r\n"
                              "Export completed at TIME\r\nApplied Filter(s): DESCRIPTION\r\n"
                              "Exported Headers: All\r\nExported Attachments: All\r\n"
                              "Total number of exported messages: %3\r\nTotal number of scanned "
                              "messages: 14\r\n"
                              "=========================================\r\n")
            .arg(actions, QString::number(exported), QString::number(exported + 2));
    };
    // Dates, times and the filter description depend on the locale and the filter set.
    QString masked = log;
    masked.replace(QRegularExpression("(?m)^[^\\r\\n]*\\d[^\\r\\n]*(?=\\r\\nExport initialized)"),
                   "DATE");
    masked.replace(QRegularExpression("(at) [^\\r\\n]+"), "\\1 TIME");
    masked.replace(QRegularExpression("(Applied Filter\\(s\\):) [^\\r\\n]*"), "\\1 DESCRIPTION");
    EXPECT_EQ(
        masked.toStdString(),
        (record("", 12) + record("Source Messages: Marked as ReadSource Messages: Deleted", 12))
            .toStdString());

    const QString index = QString::fromUtf8(test::readFile(appFolder + "/Index.htm"));
    EXPECT_EQ(index.count("<h2>"), 1);
    EXPECT_EQ(index.count("<p><table>"), 28);
    EXPECT_TRUE(index.contains("charset=utf-8"));
    EXPECT_FALSE(index.contains("<script>"));
    EXPECT_TRUE(index.contains("&lt;script&gt;alert(1)&lt;/script&gt;"));
    EXPECT_TRUE(index.contains("<a href=\"" PARCELO_HOME_PAGE "\">Parcelo</a>"));
    // The deleting run emptied what it exported; the tree shows it.
    EXPECT_TRUE(run({"tree", "--store", store}).out.contains("  Inbox\n"));
}

TEST_F(CliTest, ALockedMailboxIsReportedAndKeepsItsMessages) {
    // The lock of a process that still runs (this test).
    ASSERT_TRUE(test::writeFile(store + "/Sent.lock",
                                QByteArray::number(QCoreApplication::applicationPid()) + "\n"));
    const CliResult result =
        exportStore({"--folder", "Local Folders\\Sent", "--set", "ActionDelete=1"});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_EQ(result.out, "Task completed. 4 messages exported.\n");
    EXPECT_TRUE(
        result.err.contains("warning: the mail folder 'Local Folders\\Sent' could not be changed"))
        << result.err.toStdString();
    // The warning names the lock that blocked the change.
    EXPECT_TRUE(result.err.contains(QStringLiteral("the mailbox is locked by process %1 (%2)")
                                        .arg(QCoreApplication::applicationPid())
                                        .arg(store + "/Sent.lock")))
        << result.err.toStdString();
    QFile::remove(store + "/Sent.lock");
    EXPECT_TRUE(run({"tree", "--store", store}).out.contains("  Sent [4]\n"));
}

TEST_F(CliTest, OpenIndexOpensThePageOnlyAfterARunThatExported) {
    // A stand-in for the desktop's opener records what it was asked to open.
    const QString bin = tmp.filePath("bin");
    const QString opened = tmp.filePath("opened.txt");
    ASSERT_TRUE(test::writeFile(bin + "/xdg-open",
                                ("#!/bin/sh\necho \"$1\" >> '" + opened + "'\n").toUtf8()));
    QFile::setPermissions(bin + "/xdg-open",
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QStringList base{"export", "--store",      store,     "--dest",
                           dest,     "--app-folder", appFolder, "--open-index"};

    EXPECT_EQ(run(base + QStringList{"--folder", "Local Folders\\Drafts"}, bin).exitCode, 0);
    QThread::msleep(200);
    EXPECT_FALSE(QFile::exists(opened)); // nothing exported: nothing opened

    EXPECT_EQ(run(base + QStringList{"--folder", "Local Folders\\Sent"}, bin).exitCode, 0);
    // The opener runs detached: wait for its whole line, not just for the file to appear.
    for (int i = 0; i < 300 && !test::readFile(opened).endsWith('\n'); ++i)
        QThread::msleep(100);
    EXPECT_EQ(QString::fromUtf8(test::readFile(opened)).trimmed(), appFolder + "/Index.htm");
}

// Folder names that are legal on Linux but odd: a backslash (the tree path's separator), a
// control character and Latin-1 bytes. Each is listed as tree paths write it, exported by that
// path, and part of an export of everything.
TEST_F(CliTest, OddFolderNamesAreListedAndExported) {
    const QByteArray mboxMessage = "From a@b Mon Jan  1 00:00:00 2001\nSubject: odd\n\nbody\n";
    const QByteArray names[] = {"a\\b", "bell\x07",
                                "Entw\xFC"
                                "rfe"};
    const QString mbox = tmp.filePath("mboxstore");
    const QString maildir = tmp.filePath("maildirstore");
    const QByteArray nativeMbox = QFile::encodeName(mbox);
    const QByteArray nativeMaildir = QFile::encodeName(maildir);
    // QTemporaryDir cannot remove names that are not UTF-8.
    const std::shared_ptr<void> cleanup(nullptr, [&](void*) {
        std::filesystem::remove_all(nativeMbox.toStdString());
        std::filesystem::remove_all(nativeMaildir.toStdString());
    });
    ASSERT_TRUE(QDir().mkpath(mbox) && QDir().mkpath(maildir));
    const auto writeRaw = [](const QByteArray& path, const QByteArray& bytes) {
        FILE* file = std::fopen(path.constData(), "wb");
        ASSERT_TRUE(file);
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), file);
        std::fclose(file);
    };
    writeRaw(nativeMbox + "/a", mboxMessage);
    ASSERT_EQ(::mkdir(nativeMbox + "/a\\b.sbd", 0700), 0);
    writeRaw(nativeMbox + "/a\\b.sbd/c", mboxMessage);
    for (const QByteArray& name : names) {
        writeRaw(nativeMbox + '/' + name, mboxMessage);
        for (const char* sub : {"", "/cur", "/new", "/tmp"})
            ASSERT_EQ(::mkdir(nativeMaildir + '/' + name + sub, 0700), 0);
        writeRaw(nativeMaildir + '/' + name + "/cur/1.host:2,S", "Subject: odd\n\nbody\n");
    }

    const CliResult tree = run({"tree", "--store", mbox});
    EXPECT_EQ(tree.exitCode, 0) << tree.err.toStdString();
    EXPECT_EQ(tree.out, "mboxstore\n"
                        "  a [1]\n"
                        "  a%5Cb\n"
                        "    c [1]\n"
                        "  a%5Cb [1]\n"
                        "  bell%07 [1]\n"
                        "  Entw%FCrfe [1]\n");
    const CliResult maildirTree = run({"tree", "--store", maildir});
    EXPECT_EQ(maildirTree.out, "maildirstore\n"
                               "  a%5Cb [1]\n"
                               "  bell%07 [1]\n"
                               "  Entw%FCrfe [1]\n");

    for (const QString& store : {mbox, maildir}) {
        const QString root = QDir(store).dirName();
        // Escapes may be typed in either case; the directory is named as the tree path is.
        const std::pair<QString, QString> cases[] = {{"a%5Cb", "a%5Cb"},
                                                     {"a%5cb", "a%5Cb"},
                                                     {"bell%07", "bell%07"},
                                                     {"Entw%FCrfe", "Entw%FCrfe"}};
        for (const auto& [folder, directory] : cases) {
            QDir(dest).removeRecursively();
            QDir().mkpath(dest);
            const CliResult one = run({"export", "--store", store, "--dest", dest, "--app-folder",
                                       appFolder, "--folder", root + "\\" + folder});
            EXPECT_EQ(one.exitCode, 0) << folder.toStdString() << one.err.toStdString();
            EXPECT_EQ(one.out, "Task completed. One messages exported.\n") << folder.toStdString();
            EXPECT_EQ(exportedFiles(), QStringList{root + "/" + directory + "/odd.eml"});
        }
        QDir(dest).removeRecursively();
        QDir().mkpath(dest);
        const CliResult all =
            run({"export", "--store", store, "--dest", dest, "--app-folder", appFolder});
        EXPECT_EQ(all.out, store == mbox ? "Task completed. 5 messages exported.\n"
                                         : "Task completed. 3 messages exported.\n");
    }
}

TEST_F(CliTest, AFolderOrMessageThatCannotBeReadIsOneWarningAndExitThree) {
    const QStringList arguments{"export", "--store",      "fake",   "--dest",
                                dest,     "--app-folder", appFolder};
    auto build = [](test::FakeStore& store) {
        const StoreFolderId inbox = store.AddFolder(0, "Inbox");
        store.AddMessage(inbox, "Subject: fine\n\nbody\n");
        store.AddMessage(inbox, "Subject: torn\n\nbody\n").failReadMidway = true;
        store.AddMessage(inbox, "Subject: fine too\n\nbody\n");
        store.folders.at(store.AddFolder(0, "Lost\nFound")).failOpen = true;
        store.failReason = "Input/output error";
    };
    const CliResult result = runWith(arguments, build);
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_EQ(result.out, "Task completed. 2 messages exported.\n");
    EXPECT_EQ(result.err,
              "parcelo-cli: warning: the mail folder 'Local Folders\\Lost%0AFound' could not "
              "be read: folder 2: Input/output error\n"
              "parcelo-cli: warning: the message 2 of the mail folder 'Local Folders\\Inbox' "
              "could not be read: Input/output error\n");

    // The same store without faults: all done.
    const CliResult clean = runWith(arguments, [](test::FakeStore& store) {
        store.AddMessage(store.AddFolder(0, "Inbox"), "Subject: fine\n\nbody\n");
    });
    EXPECT_EQ(clean.exitCode, 0) << clean.err.toStdString();
    EXPECT_EQ(clean.err, "");
}

TEST_F(CliTest, AMessageFileTheSystemCannotReadIsReportedWithItsReason) {
    // A message file that links to a process's memory is refused with the reason, even for root.
    const QString maildir = tmp.filePath("Maildir");
    ASSERT_TRUE(test::copyTree(test::examplesDir() + "/Maildir", maildir));
    const QString broken = maildir + "/cur/1600000000.M1P1.broken:2,S";
    ASSERT_TRUE(QFile::link("/proc/self/mem", broken));
    const CliResult result = run({"export", "--store", maildir, "--dest", dest, "--app-folder",
                                  appFolder, "--folder", "Maildir\\Inbox"});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_EQ(result.out, "Task completed. 4 messages exported.\n");
    EXPECT_EQ(result.err, "parcelo-cli: warning: the message 3 of the mail folder "
                          "'Maildir\\Inbox' (" +
                              broken + ") could not be read: " + broken + ": not a regular file\n");
}

TEST_F(CliTest, WritesThatFailAreWarningsAndExitThree) {
    // An extension that cannot be part of a file name: no message gets a file.
    const CliResult unusable =
        exportStore({"--folder", "Local Folders\\Sent", "--set", "ExtensionMessages=e/ml"});
    EXPECT_EQ(unusable.exitCode, 3);
    EXPECT_EQ(unusable.out, "Task completed. Zero messages exported.\n");
    EXPECT_EQ(unusable.err.count("parcelo-cli: warning: the message "), 4)
        << unusable.err.toStdString();
    EXPECT_TRUE(unusable.err.contains("could not be written: the extension 'e/ml' cannot be part "
                                      "of a file name\n"));
    EXPECT_TRUE(exportedFiles().isEmpty());

    // A full disk: the larger messages, the log and the index page cannot be written.
    CliResult full;
    {
        test::ScopedFileSizeLimit limit(1500);
        full = exportStore({"--folder", "Local Folders\\Inbox"});
    }
    EXPECT_EQ(full.exitCode, 3);
    EXPECT_TRUE(full.err.contains(QRegularExpression(
        "parcelo-cli: warning: the message (\\d+) \\(\"[^\"]+\"\\) of the mail folder 'Local "
        "Folders\\\\Inbox' \\(" +
        QRegularExpression::escape(store) +
        "/Inbox, message \\1 at byte \\d+\\) could not be written: " +
        QRegularExpression::escape(dest) + "/Local Folders/Inbox/[^:]+: File too large\n")))
        << full.err.toStdString();
    EXPECT_TRUE(full.err.contains("warning: the index page '" + appFolder +
                                  "/Index.htm' could not be completed: File too large\n"))
        << full.err.toStdString();
    const qsizetype written = exportedFiles().size();
    EXPECT_GT(written, 0);
    EXPECT_EQ(full.out, QStringLiteral("Task completed. %1 messages exported.\n").arg(written));
    EXPECT_EQ(full.err.count("warning: the message "), 12 - written) << full.err.toStdString();
    EXPECT_EQ(full.err.count(".eml: File too large\n"), 12 - written) << full.err.toStdString();
}

TEST_F(CliTest, ADamagedFilterSetInTheAppFolderIsRefused) {
    ASSERT_TRUE(QDir().mkpath(appFolder));
    ASSERT_TRUE(test::writeFile(appFolder + "/Filters.xml", "<settings/>"));
    const CliResult refused = exportStore({"--set", "ActionDelete=1"});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_TRUE(refused.out.isEmpty());
    EXPECT_TRUE(refused.err.contains("cannot use the filter set '" + appFolder + "/Filters.xml'"))
        << refused.err.toStdString();
    EXPECT_EQ(test::readFile(appFolder + "/Filters.xml"), "<settings/>"); // left as it was
    EXPECT_TRUE(run({"tree", "--store", store}).out.contains("  Inbox [12]\n"));

    // A filter set given on the command line stands in for it.
    const QString lunch = tmp.filePath("lunch.xml");
    ASSERT_TRUE(test::writeFile(lunch, "<?xml version=\"1.0\"?>\r\n<filters><body>"
                                       "</body></filters>\r\n"));
    EXPECT_EQ(exportStore({"--filters", lunch, "--folder", "Local Folders\\Sent"}).exitCode, 0);
}
