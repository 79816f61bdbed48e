// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/StoreTestSupport.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace parcelo;
using namespace parcelo::test;

TEST(StoreNamespace, MboxTreeIdsDepthFirstInNameOrder) {
    QTemporaryDir dir;
    const QString root = dir.filePath(QStringLiteral("Local Folders"));
    const QByteArray one = "From - \nSubject: a\n\nbody\n";
    ASSERT_TRUE(writeFile(root + QStringLiteral("/Inbox"), one + "\n" + one));
    ASSERT_TRUE(writeFile(root + QStringLiteral("/Inbox.msf"), "// index"));
    ASSERT_TRUE(writeFile(root + QStringLiteral("/Inbox.sbd/Work"), one));
    ASSERT_TRUE(writeFile(root + QStringLiteral("/Inbox.sbd/Alpha"), ""));
    ASSERT_TRUE(writeFile(root + QStringLiteral("/Archives.sbd/2019"), one));
    ASSERT_TRUE(writeFile(root + QStringLiteral("/Trash"), ""));
    ASSERT_TRUE(writeFile(root + QStringLiteral("/popstate.dat"), "# not mail"));
    ASSERT_TRUE(writeFile(root + QStringLiteral("/.hidden"), one));
    ASSERT_TRUE(writeFile(root + QStringLiteral("/Sent.lock"), ""));

    auto store = OpenStore(root);
    ASSERT_TRUE(store);
    QString directory;
    EXPECT_EQ(store->GetDirectory(&directory), S_OK);
    EXPECT_EQ(directory, root);
    FOLDERPROPS rootProps;
    ASSERT_EQ(store->GetFolderProperties(kRootFolderId, &rootProps), S_OK);
    EXPECT_EQ(rootProps.szName, QByteArray("Local Folders"));
    EXPECT_EQ(rootProps.cSubFolders, 3);

    const auto folders = WalkFolders(*store);
    const std::vector<std::pair<StoreFolderId, QString>> expected = {
        {1, QStringLiteral("Archives")},   {2, QStringLiteral("Archives/2019")},
        {3, QStringLiteral("Inbox")},      {4, QStringLiteral("Inbox/Alpha")},
        {5, QStringLiteral("Inbox/Work")}, {6, QStringLiteral("Trash")}};
    ASSERT_EQ(folders.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(folders[i].id, expected[i].first);
        EXPECT_EQ(folders[i].path, expected[i].second);
    }
    EXPECT_EQ(folders[2].props.cMessage, 2);
    EXPECT_EQ(folders[0].props.cMessage, 0);

    // A folder holding only sub-folders opens as an empty folder; the root does not open.
    std::unique_ptr<IStoreFolder> folder;
    ASSERT_EQ(store->OpenFolder(1, &folder), S_OK);
    EXPECT_TRUE(EnumerateMessages(*folder).empty());
    EXPECT_LT(store->OpenFolder(kRootFolderId, &folder), 0);
    EXPECT_LT(store->OpenFolder(99, &folder), 0);
}

TEST(StoreNamespace, SingleMboxFileIsAStore) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("Mail/saved.mbox"));
    ASSERT_TRUE(writeFile(file, "From - \nSubject: a\n\nbody\n"));
    ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral("Mail/other")), "From - \n\n"));
    auto store = OpenStore(file);
    ASSERT_TRUE(store);
    QString directory;
    store->GetDirectory(&directory);
    EXPECT_EQ(directory, dir.filePath(QStringLiteral("Mail")));
    FOLDERPROPS rootProps;
    store->GetFolderProperties(kRootFolderId, &rootProps);
    EXPECT_EQ(rootProps.szName, QByteArray("Mail"));
    const auto folders = WalkFolders(*store);
    ASSERT_EQ(folders.size(), 1u);
    EXPECT_EQ(folders[0].path, QStringLiteral("saved.mbox"));
    EXPECT_EQ(folders[0].props.cMessage, 1);
}

TEST(StoreNamespace, PathsThatAreNoStoreSayWhy) {
    QTemporaryDir dir;
    ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral("notes.txt")), "Dear diary\n"));
    struct Case {
        QString path;
        const char* reason;
    } cases[] = {
        {QString(), "No store path"},
        {dir.filePath(QStringLiteral("missing")), "does not exist"},
        {dir.filePath(QStringLiteral("notes.txt")), "is not an mbox"},
        {QStringLiteral("/dev/null"), "neither a folder nor a file"},
    };
    for (const Case& c : cases) {
        QString error;
        EXPECT_EQ(CreateStoreNamespace(c.path, &error), nullptr);
        EXPECT_TRUE(error.contains(QLatin1String(c.reason))) << error.toStdString();
    }
}

TEST(StoreNamespace, EnumerationHandles) {
    QTemporaryDir dir;
    ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral("A")), ""));
    auto store = OpenStore(dir.path());
    FOLDERPROPS props;
    HENUMSTORE handle = 0;
    ASSERT_EQ(store->GetFirstSubFolder(kRootFolderId, &props, &handle), S_OK);
    EXPECT_NE(handle, 0u);
    EXPECT_EQ(store->GetNextSubFolder(handle, &props), S_FALSE);
    EXPECT_EQ(store->GetSubFolderClose(handle), S_OK);
    EXPECT_LT(store->GetNextSubFolder(handle, &props), 0);
    // A folder without sub-folders ends at once and gives no handle.
    EXPECT_EQ(store->GetFirstSubFolder(props.dwFolderId, &props, &handle), S_FALSE);
    EXPECT_EQ(handle, 0u);
    std::unique_ptr<IStoreFolder> folder;
    ASSERT_EQ(store->OpenFolder(1, &folder), S_OK);
    MESSAGEPROPS message;
    EXPECT_EQ(folder->GetFirstMessage(&message, &handle), S_FALSE);
    EXPECT_EQ(handle, 0u);
}
