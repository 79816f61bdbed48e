// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/ExportSession.h"

#include "mime/MessageConversion.h"
#include "support/FakeStore.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

using namespace parcelo;
using parcelo::test::FakeStore;

namespace {

struct RecordingObserver : IExportObserver {
    std::vector<int> progress;
    QStringList status;
    int pauses = 0;
    int pumps = 0;
    QStringList problems;
    std::function<void(const QString&)> onStatus;
    void SetProgress(int percent) override { progress.push_back(percent); }
    void SetStatusText(const QString& text) override {
        status.append(text);
        if (onStatus)
            onStatus(text);
    }
    void ReportProblem(const QString& text) override { problems.append(text); }
    void Pause() override { ++pauses; }
    void PumpEvents() override { ++pumps; }
};

std::string message(const std::string& subject) {
    return "From: Ann <ann@example.com>\nSubject: " + subject +
           "\nDate: Mon, 05 Jan 2009 10:00:00 +0000\n\nbody\n";
}

class ExportSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dest.isValid() && appDir.isValid());
        app.Paths = AppPaths::ForFolder(appDir.path());
        app.FolderPath = dest.path() + "/";
        a = store.AddFolder(0, "A");
        store.AddMessage(a, message("a1"));
        a1 = store.AddFolder(a, "A1");
        store.AddMessage(a1, message("in a1"));
        a2 = store.AddFolder(a, "A2");
        store.AddMessage(a2, message("in a2"));
        store.AddMessage(a2, message("in a2 again"));
        b = store.AddFolder(0, "B");
        store.AddMessage(b, message("b"));
        tree.PopulateFolderTree(store);
    }

    int fileCount() const {
        int count = 0;
        for (QDirIterator it(dest.path(), QDir::Files, QDirIterator::Subdirectories); it.hasNext();
             it.next())
            ++count;
        return count;
    }

    QTemporaryDir dest, appDir;
    ExportSettings app;
    FakeStore store;
    FolderTreeModel tree;
    RecordingObserver observer;
    StoreFolderId a = 0, a1 = 0, a2 = 0, b = 0;
};

} // namespace

TEST_F(ExportSessionTest, CollectsCheckedFoldersInExportOrder) {
    tree.CheckAll();
    // A checked folder entry adds nothing itself; its checked sub-folders are still collected.
    tree.FindEntry("Local Folders\\A", kTreeFolder)->Checked = true;
    CheckedFolderSet set;
    CollectCheckedFolders(tree.Root(), set);
    EXPECT_EQ(std::vector<StoreFolderId>(set.CheckedFolderIds.begin(), set.CheckedFolderIds.end()),
              (std::vector<StoreFolderId>{b, a, a2, a1}));
    EXPECT_EQ(set.CheckedFolderPaths.front(), "Local Folders\\B");
    EXPECT_EQ(set.TotalMessages, 5);
}

TEST_F(ExportSessionTest, ExportsEveryCheckedMessageAndReportsProgress) {
    tree.CheckAll();
    ExportSession session(app, store, observer);
    const ExportCommandResult result = session.OnExportMessages(tree);
    EXPECT_TRUE(result.ValidationMessage.isEmpty());
    EXPECT_EQ(result.Exported, 5);
    EXPECT_EQ(session.ScannedCount(), 5);
    EXPECT_TRUE(result.OpenIndex);
    EXPECT_FALSE(result.TreeRebuilt);
    EXPECT_FALSE(tree.ExportRunning());
    EXPECT_EQ(fileCount(), 5);
    EXPECT_EQ(observer.progress.front(), 0);
    EXPECT_EQ(observer.progress.back(), 100);
    EXPECT_EQ(observer.pauses, 5);
    EXPECT_TRUE(observer.status.contains("B - Exported messages count: One"));
    EXPECT_TRUE(observer.status.contains("A2 - Exported messages count: 2"));
    EXPECT_EQ(observer.status.back(), "Task completed. 5 messages exported.");
    EXPECT_TRUE(result.Problems.isEmpty());
    EXPECT_TRUE(observer.problems.isEmpty());
}

TEST_F(ExportSessionTest, ValidationMessages) {
    ExportSession session(app, store, observer);
    EXPECT_EQ(session.OnExportMessages(tree).ValidationMessage,
              "Please check at least one mailfolder.");
    tree.CheckAll();
    app.FolderPath = dest.path() + "/missing/";
    const ExportCommandResult result = session.OnExportMessages(tree);
    EXPECT_EQ(result.ValidationMessage, "Please specify the root folder.");
    EXPECT_EQ(result.Exported, 0);
    EXPECT_FALSE(tree.ExportRunning());
}

TEST_F(ExportSessionTest, UnreadableIncompleteAndMalformedSourcesAreSkippedAndKept) {
    auto& folder = store.folders.at(b);
    folder.messages.front().failOpen = true;
    store.AddMessage(b, std::string(10000, 'x') + "\n\nlong body\n").failReadMidway = true;
    store.AddMessage(b, "Subject: lone CR line ends\rFrom: ann@example.com\r");
    store.AddMessage(b, message("fine"));
    tree.PopulateFolderTree(store);
    tree.OnCheckToggle(tree.FindEntry("Local Folders\\B", kTreeMailbox));
    app.ActionDelete = 1;
    ExportSession session(app, store, observer);
    const ExportCommandResult result = session.OnExportMessages(tree);
    EXPECT_EQ(session.ScannedCount(), 4);
    EXPECT_EQ(result.Exported, 1);
    EXPECT_EQ(fileCount(), 1);
    const QString b = "the message %1 of the mail folder 'Local Folders\\B' ";
    EXPECT_EQ(result.Problems,
              (QStringList{b.arg(1) + "could not be read: Input/output error",
                           b.arg(2) + "could not be read: Input/output error",
                           b.arg(3) + "was left out: its lines end in a lone CR, so its header "
                                      "cannot be told from its body"}));
    EXPECT_EQ(observer.problems, result.Problems);
    // Only the exported message is deleted; the tree is rebuilt with the new count.
    EXPECT_EQ(store.calls, (std::vector<std::string>{"delete:B:3"}));
    EXPECT_TRUE(result.TreeRebuilt);
    EXPECT_NE(tree.FindEntry("Local Folders\\B", kTreeMailbox), nullptr);
    EXPECT_EQ(tree.FindEntry("Local Folders\\B", kTreeMailbox)->Text, "B [3]");
}

TEST_F(ExportSessionTest, AHeaderWithoutBodyIsExportedAndAnEmptySourceIsLeftOut) {
    store.AddMessage(b, "Subject: only a header\nDate: Mon, 05 Jan 2009 10:00:00 +0000\n");
    store.AddMessage(b, "");
    store.AddMessage(b, "\n\n");
    tree.PopulateFolderTree(store);
    tree.OnCheckToggle(tree.FindEntry("Local Folders\\B", kTreeMailbox));
    app.ActionDelete = 1;
    ExportSession session(app, store, observer);
    const ExportCommandResult result = session.OnExportMessages(tree);
    EXPECT_EQ(result.Exported, 2);
    const QString empty = "the message %1 of the mail folder 'Local Folders\\B' was left out: it "
                          "is empty";
    EXPECT_EQ(result.Problems, (QStringList{empty.arg(3), empty.arg(4)}));
    EXPECT_EQ(store.calls, (std::vector<std::string>{"delete:B:1", "delete:B:0"}));
}

TEST_F(ExportSessionTest, EveryWarningAboutAMessageSaysWhereItLies) {
    auto& folder = store.folders.at(b);
    folder.location = "/mail/B";
    folder.messages.front().failOpen = true;
    store.AddMessage(b, "Subject: lone\rline ends\r");
    auto& refusing = store.AddMessage(b, message("unchangeable"));
    refusing.failChange = true;
    refusing.props.pszNormalSubject = "unchangeable";
    store.AddMessage(b, message("lost file")).props.pszNormalSubject = "lost file";
    tree.PopulateFolderTree(store);
    tree.OnCheckToggle(tree.FindEntry("Local Folders\\B", kTreeMailbox));
    app.ActionMarkRead = 1;
    app.ActionDelete = 1;
    observer.onStatus = [this](const QString&) {
        for (QDirIterator it(dest.path(), QDir::Files, QDirIterator::Subdirectories);
             it.hasNext();) {
            const QString path = it.next();
            if (path.contains("lost file"))
                QFile::remove(path);
        }
    };
    {
        ExportSession session(app, store, observer);
        const ExportCommandResult result = session.OnExportMessages(tree);
        EXPECT_EQ(result.Exported, 2);
        const QString in = "of the mail folder 'Local Folders\\B' (/mail/B#%1) ";
        const QString unchangeable = "the message 3 (\"unchangeable\") " + in.arg(2);
        // The file of message 4 is gone before the source actions: it stays in the store.
        ASSERT_EQ(result.Problems.size(), 5) << result.Problems.join('\n').toStdString();
        EXPECT_EQ(result.Problems[0],
                  "the message 1 " + in.arg(0) + "could not be read: Input/output error");
        EXPECT_TRUE(result.Problems[1].startsWith("the message 2 " + in.arg(1) + "was left out: "))
            << result.Problems[1].toStdString();
        EXPECT_TRUE(result.Problems[2].endsWith(
            "(No such file or directory); its message stays in the mail folder 'Local "
            "Folders\\B' (/mail/B#3)"))
            << result.Problems[2].toStdString();
        EXPECT_EQ(result.Problems[3],
                  unchangeable + "could not be marked read: Input/output error");
        EXPECT_EQ(result.Problems[4], unchangeable + "could not be deleted: Input/output error");
    }
    observer.onStatus = nullptr;
    app.ExtensionMessages = "e/ml";
    tree.OnCheckToggle(tree.FindEntry("Local Folders\\B", kTreeMailbox));
    ExportSession session(app, store, observer);
    const ExportCommandResult result = session.OnExportMessages(tree);
    ASSERT_EQ(result.Problems.size(), 4) << result.Problems.join('\n').toStdString();
    EXPECT_EQ(result.Problems[2], "the message 3 (\"unchangeable\") of the mail folder 'Local "
                                  "Folders\\B' (/mail/B#2) could not be written: the extension "
                                  "'e/ml' cannot be part of a file name");
}

// A message that does not parse, or whose file cannot be made from what was parsed, is a
// problem like any other: no file, a warning naming it, and its source stays as it was.
TEST_F(ExportSessionTest, MessagesThatCannotBeConvertedAreReportedAndKept) {
    const auto isBad = [](const std::string& source) {
        return source.find("Subject: bad\r\n") != std::string::npos;
    };
    struct Case {
        const char* label;
        ExportSession::MessageParser parser;
        QString says;
    };
    static const auto notParsed = [](const std::string& source) -> std::unique_ptr<CMimeMessage> {
        return source.find("Subject: bad\r\n") == std::string::npos ? ParseMessageSource(source)
                                                                    : nullptr;
    };
    static const auto notStored = [](const std::string& source) {
        auto message = ParseMessageSource(source);
        // Parts without a boundary to put between them cannot be stored.
        if (source.find("Subject: bad\r\n") != std::string::npos)
            message->AddPart("text");
        return message;
    };
    const Case cases[] = {
        {"not parsed", notParsed, "was left out: it could not be parsed as a mail message"},
        {"not stored", notStored, "was left out: it could not be converted into a message file"},
    };
    for (const Case& c : cases) {
        FakeStore store;
        const auto inbox = store.AddFolder(0, "Inbox");
        for (const char* subject : {"good", "bad", "fine"})
            store.AddMessage(inbox, message(subject));
        FolderTreeModel tree;
        tree.PopulateFolderTree(store);
        tree.CheckAll();
        QTemporaryDir out;
        app.FolderPath = out.path() + "/";
        app.ActionMarkRead = 1;
        app.ActionDelete = 1;
        RecordingObserver observer;
        ExportSession session(app, store, observer);
        session.SetMessageParser(c.parser);
        const ExportCommandResult result = session.OnExportMessages(tree);

        EXPECT_EQ(result.Exported, 2) << c.label;
        ASSERT_EQ(result.Problems.size(), 1) << c.label;
        const QString& problem = result.Problems.front();
        EXPECT_TRUE(problem.startsWith("the message 2 ")) << problem.toStdString();
        EXPECT_TRUE(problem.contains("of the mail folder 'Local Folders\\Inbox'"))
            << problem.toStdString();
        EXPECT_TRUE(problem.endsWith(c.says)) << problem.toStdString();
        EXPECT_EQ(observer.problems, result.Problems) << c.label;
        int files = 0;
        for (QDirIterator it(out.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
             it.hasNext();) {
            ++files;
            EXPECT_FALSE(isBad(test::readFile(it.next()).toStdString())) << c.label;
        }
        EXPECT_EQ(files, 2) << c.label;
        for (const auto& kept : store.folders.at(inbox).messages) {
            const bool bad = isBad(kept.source);
            EXPECT_EQ(kept.deleted, !bad) << c.label;
            EXPECT_EQ(kept.read, !bad) << c.label;
        }
    }
}

TEST_F(ExportSessionTest, SourceActionsMarkBeforeDeleteNewestFirstAndCompact) {
    tree.OnCheckToggle(tree.FindEntry("Local Folders\\A\\A2", kTreeMailbox));
    app.ActionMarkRead = 1;
    app.ActionDelete = 1;
    app.CompactMailboxes = 1;
    ExportSession session(app, store, observer);
    EXPECT_EQ(session.OnExportMessages(tree).Exported, 2);
    EXPECT_EQ(store.calls, (std::vector<std::string>{"read:A2:1", "delete:A2:1", "read:A2:0",
                                                     "delete:A2:0", "compact:A2"}));
    EXPECT_TRUE(observer.status.contains("A2: Deleting exported messages..."));
}

TEST_F(ExportSessionTest, NothingExportedMeansNoRebuildAndNoIndex) {
    store.folders.at(b).failOpen = true;
    store.folders.at(b).failProperties = true;
    tree.OnCheckToggle(tree.FindEntry("Local Folders\\B", kTreeMailbox));
    app.ActionDelete = 1;
    ExportSession session(app, store, observer);
    const ExportCommandResult result = session.OnExportMessages(tree);
    EXPECT_EQ(result.Exported, 0);
    EXPECT_FALSE(result.OpenIndex);
    EXPECT_FALSE(result.TreeRebuilt);
    EXPECT_EQ(session.ScannedCount(), 0);
    EXPECT_EQ(observer.progress.back(), 100);
    EXPECT_EQ(result.Problems,
              (QStringList{"the properties of the mail folder 'Local Folders\\B' could not be "
                           "read: properties of folder 4: Input/output error",
                           "the mail folder 'Local Folders\\B' could not be read: "
                           "folder 4: Input/output error"}));
    EXPECT_EQ(observer.problems, result.Problems);
}

TEST_F(ExportSessionTest, StoreChangesThatFailAreReportedAndTheRunGoesOn) {
    auto& folder = store.folders.at(a2);
    folder.messages[0].failChange = true;
    folder.messages[0].props.pszNormalSubject = "in a2\r\n\tagain";
    folder.failClose = true;
    store.failReason = "Read-only file system";
    tree.OnCheckToggle(tree.FindEntry("Local Folders\\A\\A2", kTreeMailbox));
    app.ActionMarkRead = 1;
    app.ActionDelete = 1;
    ExportSession session(app, store, observer);
    const ExportCommandResult result = session.OnExportMessages(tree);
    EXPECT_EQ(result.Exported, 2);
    EXPECT_EQ(store.calls, (std::vector<std::string>{"read:A2:1", "delete:A2:1"}));
    const QString first =
        "the message 1 (\"in a2   again\") of the mail folder 'Local Folders\\A\\A2' could not be ";
    EXPECT_EQ(result.Problems,
              (QStringList{first + "marked read: Read-only file system",
                           first + "deleted: Read-only file system",
                           "the mail folder 'Local Folders\\A\\A2' could not be changed; its "
                           "messages are as they were: Read-only file system"}));
}

TEST_F(ExportSessionTest, WritesThatFailAreReportedWithTheSystemsReason) {
    tree.CheckAll();
    // The log and the index page: one line each for the run, however many writes fail.
    app.Paths.LogFile = dest.filePath("log-is-a-folder");
    app.Paths.IndexPage = dest.filePath("index-is-a-folder");
    ASSERT_TRUE(QDir().mkdir(app.Paths.LogFile) && QDir().mkdir(app.Paths.IndexPage));
    {
        ExportSession session(app, store, observer);
        const ExportCommandResult result = session.OnExportMessages(tree);
        EXPECT_EQ(result.Exported, 5);
        ASSERT_EQ(result.Problems.size(), 2) << result.Problems.join('\n').toStdString();
        EXPECT_TRUE(result.Problems[0].startsWith("the log '" + app.Paths.LogFile +
                                                  "' could not be written: "));
        EXPECT_TRUE(result.Problems[1].startsWith("the index page '" + app.Paths.IndexPage +
                                                  "' could not be completed: "));
    }
    app.Paths = AppPaths::ForFolder(appDir.path());

    // An extension that cannot be part of a name: every message says so; nothing is deleted.
    app.ExtensionMessages = "e/ml";
    app.ActionDelete = 1;
    {
        ExportSession session(app, store, observer);
        const ExportCommandResult result = session.OnExportMessages(tree);
        EXPECT_EQ(result.Exported, 0);
        ASSERT_EQ(result.Problems.size(), 5);
        EXPECT_EQ(result.Problems[0], "the message 1 of the mail folder 'Local Folders\\B' could "
                                      "not be written: the extension 'e/ml' cannot be part of a "
                                      "file name");
        EXPECT_TRUE(store.calls.empty());
    }
    app.ExtensionMessages = "eml";

    // The destination removed after the first message: the others are reported and kept.
    observer.onStatus = [this](const QString& text) {
        if (text.contains("Exported messages count"))
            QDir(dest.path()).removeRecursively();
    };
    ExportSession session(app, store, observer);
    const ExportCommandResult result = session.OnExportMessages(tree);
    EXPECT_EQ(result.Exported, 1);
    ASSERT_EQ(result.Problems.size(), 5) << result.Problems.join('\n').toStdString();
    EXPECT_EQ(result.Problems.back(),
              "the message 1 of the mail folder 'Local Folders\\A\\A1' could not be written: "
              "cannot create the folder " +
                  dest.path() + "/Local Folders: No such file or directory");
    // The one message written lost its file with the destination: it stays in the store.
    EXPECT_TRUE(store.calls.empty());
}

TEST_F(ExportSessionTest, ANewerMessageReplacesAFileUnlessItsSourceWasDeleted) {
    const std::string header = "From: Ann <ann@example.com>\nSubject: same\nDate: ";
    const StoreFolderId c = store.AddFolder(0, "C");
    const StoreFolderId d = store.AddFolder(0, "D");
    store.AddMessage(d, header + "Mon, 05 Jan 2009 10:00:00 +0000\n\nolder\n");
    store.AddMessage(c, header + "Tue, 06 Jan 2009 10:00:00 +0000\n\nnewer\n");
    tree.PopulateFolderTree(store);
    app.FolderOption = 0;
    app.FileOption = 2;
    app.MessageOption = 1;
    struct Case {
        int markRead;
        int remove;
        int exported;
        const char* body;
    } cases[] = {
        // Marking the older message read loses nothing: the newer one still replaces its file.
        {1, 0, 2, "newer"},
        // Deleting it leaves its file the only copy: that file stays.
        {0, 1, 1, "older"},
        {1, 1, 1, "older"},
    };
    for (const Case& k : cases) {
        QTemporaryDir out;
        app.FolderPath = out.path() + "/";
        app.ActionMarkRead = k.markRead;
        app.ActionDelete = k.remove;
        for (auto& folder : store.folders)
            for (auto& m : folder.second.messages)
                m.deleted = false;
        tree.PopulateFolderTree(store);
        tree.OnCheckToggle(tree.FindEntry("Local Folders\\C", kTreeMailbox));
        tree.OnCheckToggle(tree.FindEntry("Local Folders\\D", kTreeMailbox));
        ExportSession session(app, store, observer);
        EXPECT_EQ(session.OnExportMessages(tree).Exported, k.exported) << k.markRead << k.remove;
        const QStringList files = QDir(out.path()).entryList(QDir::Files);
        ASSERT_EQ(files.size(), 1) << k.markRead << k.remove;
        QFile file(out.filePath(files.front()));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_TRUE(file.readAll().contains(k.body)) << k.markRead << k.remove;
    }
}
