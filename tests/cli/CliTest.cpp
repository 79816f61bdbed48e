#include "filters/DescribeFilters.h"
#include "filters/FilterSetFile.h"
#include "support/TestEnv.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

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
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (!pathPrefix.isEmpty())
            env.insert("PATH", pathPrefix + ":" + env.value("PATH"));
        env.insert("XDG_CONFIG_HOME", tmp.filePath("config"));
        env.insert("XDG_DATA_HOME", tmp.filePath("data"));
        env.insert("TZ", "UTC");
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(PARCELO_CLI_PATH), arguments);
        EXPECT_TRUE(process.waitForFinished(120000));
        return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput()),
                QString::fromLocal8Bit(process.readAllStandardError())};
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
    EXPECT_EQ(run({"--version"}).exitCode, 0);
    EXPECT_TRUE(run({"--help"}).out.contains("parcelo-cli export"));
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
    // The deleting run emptied what it exported; the tree shows it.
    EXPECT_TRUE(run({"tree", "--store", store}).out.contains("  Inbox\n"));
}

TEST_F(CliTest, ALockedMailboxIsReportedAndKeepsItsMessages) {
    // The lock of a process that still runs (this test).
    ASSERT_TRUE(test::writeFile(store + "/Sent.lock",
                                QByteArray::number(QCoreApplication::applicationPid()) + "\n"));
    const CliResult result =
        exportStore({"--folder", "Local Folders\\Sent", "--set", "ActionDelete=1"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "Task completed. 4 messages exported.\n");
    EXPECT_TRUE(
        result.err.contains("warning: the mail folder 'Local Folders\\Sent' could not be changed"))
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
    for (int i = 0; i < 50 && !QFile::exists(opened); ++i)
        QThread::msleep(100);
    EXPECT_EQ(QString::fromUtf8(test::readFile(opened)).trimmed(), appFolder + "/Index.htm");
}
