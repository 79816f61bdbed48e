// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/tree/FolderTreeModel.h"

#include "support/FakeStore.h"
#include "support/TestEnv.h"

#include <QStringList>
#include <gtest/gtest.h>

using namespace parcelo;
using parcelo::test::FakeStore;
using Entry = FolderTreeModel::Entry;

namespace {

void dump(const Entry* entry, int depth, QStringList* lines) {
    lines->append(QString(depth * 2, QLatin1Char(' ')) + entry->Text +
                  (entry->Checked ? " *" : ""));
    for (const auto& child : entry->Children)
        dump(child.get(), depth + 1, lines);
}

QString dump(const FolderTreeModel& model) {
    QStringList lines;
    dump(model.Root(), 0, &lines);
    return lines.join('\n');
}

class FolderTreeModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto inbox = store.AddFolder(0, "Inbox");
        for (int i = 0; i < 12; ++i)
            store.AddMessage(inbox, "Subject: x\n\nbody\n");
        store.AddFolder(0, "Drafts");
        const auto deleted = store.AddFolder(0, "deleted items");
        store.AddFolder(deleted, "Old");
        projects = store.AddFolder(0, "Projects");
        store.AddMessage(projects, "Subject: p\n\nbody\n");
        const auto beta = store.AddFolder(projects, "beta");
        store.AddMessage(beta, "Subject: b\n\nbody\n");
        store.AddFolder(beta, "Archive");
        store.AddFolder(projects, "Alpha");
        const auto empty = store.AddFolder(0, "Holder");
        store.AddFolder(empty, "Deleted Items");
        model.PopulateFolderTree(store);
    }

    FakeStore store;
    StoreFolderId projects = 0;
    FolderTreeModel model;
};

} // namespace

TEST_F(FolderTreeModelTest, BuildsSortedTreeWithDoubleEntriesAndNoDeletedItems) {
    EXPECT_EQ(dump(model).toStdString(), R"(Local Folders
  Drafts
  Holder
  Holder
  Inbox [12]
  Projects
    Alpha
    beta
      Archive
    beta [1]
  Projects [1])");
    EXPECT_EQ(model.Root()->Record.Type, kTreeRoot);
    EXPECT_EQ(model.Root()->Record.Path, store.directory);
    const Entry* projectsFolder = model.FindEntry("Local Folders\\Projects", kTreeFolder);
    const Entry* projectsMailbox = model.FindEntry("Local Folders\\Projects", kTreeMailbox);
    ASSERT_TRUE(projectsFolder && projectsMailbox);
    EXPECT_EQ(projectsFolder->Record.FolderId, projectsMailbox->Record.FolderId);
    EXPECT_EQ(projectsFolder->Record.MessageCount, -1);
    EXPECT_EQ(projectsMailbox->Image, kImageMailboxFull);
    EXPECT_EQ(model.FindEntry("Local Folders\\Drafts", kTreeMailbox)->Image, kImageMailboxEmpty);
}

TEST(FolderTreeModelStatic, RootNameIsTheLastComponent) {
    EXPECT_EQ(FolderTreeModel::RootName("/home/u/.thunderbird/x.default/Mail/Local Folders/"),
              "Local Folders");
    EXPECT_EQ(FolderTreeModel::RootName("/home/u/Maildir  "), "Maildir");
    EXPECT_EQ(FolderTreeModel::RootName(""), "Local Folders");
    EXPECT_EQ(FolderTreeModel::RootName("/"), "Local Folders");
}

TEST_F(FolderTreeModelTest, CheckPropagationUpAndDown) {
    Entry* projectsFolder = model.FindEntry("Local Folders\\Projects", kTreeFolder);
    model.OnCheckToggle(projectsFolder);
    // The folder entry checks its sub-folders, not its own mailbox entry.
    EXPECT_TRUE(model.FindEntry("Local Folders\\Projects\\Alpha", kTreeMailbox)->Checked);
    EXPECT_TRUE(model.FindEntry("Local Folders\\Projects\\beta\\Archive", kTreeMailbox)->Checked);
    EXPECT_FALSE(model.FindEntry("Local Folders\\Projects", kTreeMailbox)->Checked);
    EXPECT_FALSE(model.Root()->Checked);
    EXPECT_EQ(model.CheckedCount(), 3); // Alpha, Archive, beta [1]
    EXPECT_EQ(model.CheckedCountText(), "3 mailboxes checked.");

    // Unchecking a leaf unchecks every ancestor, the root included.
    model.CheckAll();
    model.OnCheckToggle(model.FindEntry("Local Folders\\Projects\\beta\\Archive", kTreeMailbox));
    EXPECT_FALSE(model.FindEntry("Local Folders\\Projects\\beta", kTreeFolder)->Checked);
    EXPECT_FALSE(projectsFolder->Checked);
    EXPECT_FALSE(model.Root()->Checked);
    EXPECT_TRUE(model.FindEntry("Local Folders\\Projects\\beta", kTreeMailbox)->Checked);

    // Checking the last unchecked child checks each complete ancestor upwards.
    model.OnCheckToggle(model.FindEntry("Local Folders\\Projects\\beta\\Archive", kTreeMailbox));
    EXPECT_TRUE(model.FindEntry("Local Folders\\Projects\\beta", kTreeFolder)->Checked);
    EXPECT_TRUE(projectsFolder->Checked);
    EXPECT_TRUE(model.Root()->Checked);
}

TEST_F(FolderTreeModelTest, CheckedCountTextsAndExportLock) {
    EXPECT_EQ(model.CheckedCountText(), "No checked mailboxes.");
    model.OnCheckToggle(model.FindEntry("Local Folders\\Inbox", kTreeMailbox));
    EXPECT_EQ(model.CheckedCountText(), "One mailbox checked.");
    model.SetExportRunning(true);
    model.CheckAll();
    EXPECT_EQ(model.CheckedCount(), 1);
    model.OnCheckToggle(model.FindEntry("Local Folders\\Inbox", kTreeMailbox));
    EXPECT_EQ(model.CheckedCount(), 1);
    model.SetExportRunning(false);
    model.CheckAll();
    // Holder's folder entry has no children left and counts as a leaf.
    EXPECT_EQ(model.CheckedCount(), 8);
    model.SetExportRunning(true);
    model.ClearAll();
    EXPECT_EQ(model.CheckedCount(), 8);
    model.SetExportRunning(false);
    model.ClearAll();
    EXPECT_EQ(model.CheckedCountText(), "No checked mailboxes.");
}

TEST(FolderTreeModelTwoMailboxes, CheckAllThenClearAll) {
    FakeStore store;
    store.AddFolder(0, "A");
    store.AddFolder(0, "B");
    FolderTreeModel model;
    model.PopulateFolderTree(store);
    model.CheckAll();
    EXPECT_EQ(model.CheckedCountText(), "2 mailboxes checked.");
    model.ClearAll();
    EXPECT_EQ(model.CheckedCountText(), "No checked mailboxes.");
}

TEST_F(FolderTreeModelTest, EntryStatistics) {
    EXPECT_EQ(FolderTreeModel::EntryStatisticsText(model.Root()),
              "Local Folders\r\nSubfolders: 2 \u2022 Mailboxes: 8");
    const Entry* inbox = model.FindEntry("Local Folders\\Inbox", kTreeMailbox);
    EXPECT_EQ(FolderTreeModel::EntryStatisticsText(inbox), "Inbox\r\nUnread messages: 12");
    Entry* projectsFolder = model.FindEntry("Local Folders\\Projects", kTreeFolder);
    EXPECT_EQ(FolderTreeModel::EntryStatisticsImage(projectsFolder), kImageFolderClosed);
    model.SetExpanded(projectsFolder, true);
    EXPECT_EQ(projectsFolder->Image, kImageFolderOpen);
    EXPECT_EQ(FolderTreeModel::EntryStatisticsImage(projectsFolder), kImageFolderOpen);
}

TEST_F(FolderTreeModelTest, ToggleReportsTheEntriesWhoseCheckChanged) {
    const Entry* beta = model.FindEntry("Local Folders\\Projects\\beta", kTreeFolder);
    const Entry* archive = model.FindEntry("Local Folders\\Projects\\beta\\Archive", kTreeMailbox);
    const Entry* betaMailbox = model.FindEntry("Local Folders\\Projects\\beta", kTreeMailbox);
    ASSERT_TRUE(beta && archive && betaMailbox);
    EXPECT_EQ(model.OnCheckToggle(beta->Key()),
              (std::vector<TreeEntryKey>{beta->Key(), archive->Key()}));

    // Checking Alpha and beta's mailbox completes Projects' folder entry as well.
    const Entry* alpha = model.FindEntry("Local Folders\\Projects\\Alpha", kTreeMailbox);
    const Entry* projectsFolder = model.FindEntry("Local Folders\\Projects", kTreeFolder);
    EXPECT_EQ(model.OnCheckToggle(alpha->Key()), std::vector<TreeEntryKey>{alpha->Key()});
    EXPECT_EQ(model.OnCheckToggle(betaMailbox->Key()),
              (std::vector<TreeEntryKey>{projectsFolder->Key(), betaMailbox->Key()}));

    // Unchecking a leaf reports every ancestor it unchecked.
    EXPECT_EQ(model.OnCheckToggle(archive->Key()),
              (std::vector<TreeEntryKey>{projectsFolder->Key(), beta->Key(), archive->Key()}));

    EXPECT_EQ(model.ClearAll(), (std::vector<TreeEntryKey>{alpha->Key(), betaMailbox->Key()}));
    EXPECT_EQ(model.CheckAll().size(), 11u); // root and ten entries
    EXPECT_TRUE(model.CheckAll().empty());

    model.SetExportRunning(true);
    EXPECT_TRUE(model.OnCheckToggle(alpha->Key()).empty());
    EXPECT_TRUE(model.ClearAll().empty());
    EXPECT_TRUE(alpha->Checked);
}

TEST_F(FolderTreeModelTest, KeysNameTheSameEntriesAfterARebuild) {
    const Entry* folder = model.FindEntry("Local Folders\\Projects", kTreeFolder);
    const Entry* mailbox = model.FindEntry("Local Folders\\Projects", kTreeMailbox);
    const TreeEntryKey folderKey = folder->Key();
    const TreeEntryKey mailboxKey = mailbox->Key();
    EXPECT_NE(folderKey, mailboxKey);
    EXPECT_EQ(model.FindEntry(folderKey), folder);
    EXPECT_EQ(model.FindEntry(model.Root()->Key()), model.Root());

    // A deleting run rebuilds the tree: a key finds the new entry, a gone folder finds none.
    const TreeEntryKey draftsKey = model.FindEntry("Local Folders\\Drafts", kTreeMailbox)->Key();
    store.folders.erase(draftsKey.FolderId);
    model.PopulateFolderTree(store);
    const Entry* rebuilt = model.FindEntry(mailboxKey);
    ASSERT_NE(rebuilt, nullptr);
    EXPECT_EQ(rebuilt->Record.Path, "Local Folders\\Projects");
    EXPECT_EQ(rebuilt->Record.Type, kTreeMailbox);
    EXPECT_EQ(model.FindEntry(folderKey)->Record.Type, kTreeFolder);
    EXPECT_EQ(model.FindEntry(draftsKey), nullptr);
}

TEST(FolderTreeModelNames, EveryNameHasAPathOfItsOwnAndAPrintableLine) {
    FakeStore store;
    store.directory = "/mail/Local Folders";
    const auto odd = store.AddFolder(0, "a\\b");
    store.AddMessage(odd, "Subject: x\n\nbody\n");
    store.AddFolder(odd, "c");
    store.AddFolder(0, "a");
    const auto bell = store.AddFolder(0, "bell\x07");
    FolderTreeModel model;
    model.PopulateFolderTree(store);

    // The sub-folder of "a\b" sits under it, not under "a".
    const Entry* a = model.FindEntry("Local Folders\\a", kTreeMailbox);
    const Entry* odder = model.FindEntry("Local Folders\\a%5Cb", kTreeFolder);
    ASSERT_TRUE(a && odder);
    EXPECT_TRUE(a->Children.empty());
    ASSERT_EQ(odder->Children.size(), 1u);
    EXPECT_EQ(odder->Children[0]->Record.Path, "Local Folders\\a%5Cb\\c");
    EXPECT_EQ(model.FindEntry("Local Folders\\a%5cb", kTreeMailbox)->Record.Name, "a\\b");
    EXPECT_EQ(FolderTreeModel::EntryPathText(model.FindEntry("Local Folders\\a%5Cb", kTreeMailbox)),
              "a%5Cb [1]");
    const Entry* belled = model.FindEntry("Local Folders\\bell%07", kTreeMailbox);
    ASSERT_TRUE(belled);
    EXPECT_EQ(belled->Record.FolderId, bell);
    EXPECT_EQ(FolderTreeModel::EntryPathText(belled), "bell%07");
    EXPECT_EQ(FolderTreeModel::EntryPathText(model.Root()), "Local Folders");
}

TEST(FolderTreeModelOrder, NamesEqualButForLetterCaseKeepTheOrderTheyWereInsertedIn) {
    // Folders come from a store in byte order; the tree inserts them from the last one back,
    // each after the entries whose texts equal its own.
    FakeStore store;
    for (const char* name : {"Beta", "Gamma", "alpha", "beta", "gamma"})
        store.AddFolder(0, name);
    const auto sub = store.AddFolder(0, "zeta");
    for (const char* name : {"B", "a", "b"})
        store.AddFolder(sub, name);
    FolderTreeModel model;
    model.PopulateFolderTree(store);
    EXPECT_EQ(dump(model).toStdString(), R"(Local Folders
  alpha
  beta
  Beta
  gamma
  Gamma
  zeta
    a
    b
    B
  zeta)");
}
