#include "export/ExportSession.h"

#include "support/FakeStore.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace parcelo;
using parcelo::test::FakeStore;

namespace {

struct RecordingObserver : IExportObserver {
    std::vector<int> progress;
    QStringList status;
    int pauses = 0;
    int pumps = 0;
    void SetProgress(int percent) override { progress.push_back(percent); }
    void SetStatusText(const QString& text) override { status.append(text); }
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
    auto& headerOnly = store.AddMessage(b, "Subject: no body separator\n");
    (void)headerOnly;
    store.AddMessage(b, message("fine"));
    tree.PopulateFolderTree(store);
    tree.OnCheckToggle(tree.FindEntry("Local Folders\\B", kTreeMailbox));
    app.ActionDelete = 1;
    ExportSession session(app, store, observer);
    const ExportCommandResult result = session.OnExportMessages(tree);
    EXPECT_EQ(session.ScannedCount(), 4);
    EXPECT_EQ(result.Exported, 1);
    EXPECT_EQ(fileCount(), 1);
    // Only the exported message is deleted; the tree is rebuilt with the new count.
    EXPECT_EQ(store.calls, (std::vector<std::string>{"delete:B:3"}));
    EXPECT_TRUE(result.TreeRebuilt);
    EXPECT_NE(tree.FindEntry("Local Folders\\B", kTreeMailbox), nullptr);
    EXPECT_EQ(tree.FindEntry("Local Folders\\B", kTreeMailbox)->Text, "B [3]");
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
    tree.OnCheckToggle(tree.FindEntry("Local Folders\\B", kTreeMailbox));
    app.ActionDelete = 1;
    ExportSession session(app, store, observer);
    const ExportCommandResult result = session.OnExportMessages(tree);
    EXPECT_EQ(result.Exported, 0);
    EXPECT_FALSE(result.OpenIndex);
    EXPECT_FALSE(result.TreeRebuilt);
    EXPECT_EQ(session.ScannedCount(), 0);
    EXPECT_EQ(observer.progress.back(), 100);
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
