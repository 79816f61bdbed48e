// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScopedFileSizeLimit.h"
#include "export/ExportSession.h"
#include "export/manifest/ExportManifest.h"
#include "support/FakeStore.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>
#include <gtest/gtest.h>

using namespace parcelo;
using parcelo::test::FakeStore;

namespace {

struct StatusObserver : IExportObserver {
    QStringList status;
    void SetProgress(int) override {}
    void SetStatusText(const QString& text) override { status.append(text); }
};

std::string message(const std::string& subject, const std::string& fields = {}) {
    return fields + "From: Ann <ann@example.com>\nSubject: " + subject + "\nMessage-ID: <" +
           subject +
           "@example.com>\nDate: Mon, 05 Jan 2009 10:00:00 +0000"
           "\n\nbody of " +
           subject + "\n";
}

class OnlyNewExportTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dest.isValid() && appDir.isValid());
        app.Paths = AppPaths::ForFolder(appDir.path());
        app.FolderPath = dest.path() + "/";
        app.OnlyNew = 1;
        a = store.AddFolder(0, "A");
        b = store.AddFolder(0, "B");
        for (const char* subject : {"a1", "a2", "a3"})
            add(a, subject);
        add(b, "b1");
    }

    void add(StoreFolderId folder, const std::string& subject, const std::string& fields = {}) {
        store.AddMessage(folder, message(subject, fields)).props.pszNormalSubject =
            QByteArray::fromStdString(subject);
    }

    ExportCommandResult run() {
        FolderTreeModel tree;
        tree.PopulateFolderTree(store);
        tree.CheckAll();
        observer = {};
        ExportSession session(app, store, observer);
        return session.OnExportMessages(tree);
    }

    // The message files under the destination, by the body each holds.
    QMap<QString, QStringList> filesByBody() const {
        QMap<QString, QStringList> files;
        for (QDirIterator it(dest.path(), QDir::Files, QDirIterator::Subdirectories);
             it.hasNext();) {
            const QString path = it.next();
            if (path.contains("/.parcelo/"))
                continue;
            const QByteArray bytes = test::readFile(path);
            const qsizetype body = bytes.indexOf("body of ");
            files[QString::fromLatin1(bytes.mid(body, bytes.indexOf('\r', body) - body))].append(
                path);
        }
        return files;
    }

    QString log() const { return QString::fromUtf8(test::readFile(app.Paths.LogFile)); }

    QTemporaryDir dest, appDir;
    ExportSettings app;
    FakeStore store;
    StatusObserver observer;
    StoreFolderId a = 0, b = 0;
};

} // namespace

TEST_F(OnlyNewExportTest, ASecondRunExportsOnlyWhatArrivedSinceWhateverTheFilesAreCalledNow) {
    app.IndexCsv = 1; // a row for each file written, none for a message skipped
    ExportCommandResult first = run();
    EXPECT_EQ(first.Exported, 4);
    EXPECT_EQ(first.Skipped, 0);
    EXPECT_EQ(run().Exported, 0);

    // The user renames every file, the naming settings change and the store marks a message
    // read and flagged in its own fields; two messages arrive.
    for (const QStringList& paths : filesByBody())
        for (const QString& path : paths)
            ASSERT_TRUE(QFile::rename(path, path + ".kept"));
    app.FolderOption = 0;
    app.FileOption = 4;
    std::string& a2 = store.folders.at(a).messages[1].source;
    a2 = "X-Mozilla-Status: 0001\r\nStatus: RO\r\nX-Status: F\r\n" + a2;
    add(a, "a4");
    add(b, "b2");
    const ExportCommandResult third = run();
    EXPECT_EQ(third.Exported, 2);
    EXPECT_EQ(third.Skipped, 4);
    EXPECT_TRUE(third.Problems.isEmpty()) << third.Problems.join('\n').toStdString();
    EXPECT_EQ(observer.status.back(), "Task completed. 2 messages exported, 4 skipped as "
                                      "exported before.");
    EXPECT_TRUE(observer.status.contains(
        "A - Exported messages count: One, skipped as exported before: 3"));
    const auto files = filesByBody();
    EXPECT_EQ(files.size(), 6);
    for (const QString& body : files.keys())
        EXPECT_EQ(files[body].size(), 1) << body.toStdString();
    EXPECT_FALSE(files["body of a4"].front().endsWith(".kept"));
    const QString log = this->log();
    EXPECT_TRUE(log.contains("Mailbox: A\r\nNumber of Scanned Messages: 4\r\n"
                             "Number of Exported Messages: One\r\n"
                             "Number of Skipped Messages (exported before): 3\r\n"));
    EXPECT_TRUE(log.contains("Total number of exported messages: 2\r\n"
                             "Total number of skipped messages (exported before): 4\r\n"));
    EXPECT_EQ(test::readFile(app.Paths.IndexCsvFile).count("\r\n"), 1 + 6);
}

TEST_F(OnlyNewExportTest, ACopyOfAMessageIsExportedOnceAndNamedInTheLog) {
    // B, exported first, holds a copy of A's first message with other status fields; in A the
    // last message follows itself at once, while the first one's file may still be written.
    add(b, "a1", "Status: RO\n");
    add(a, "a3");
    const ExportCommandResult result = run();
    EXPECT_EQ(result.Exported, 4);
    EXPECT_EQ(result.Skipped, 2);
    const auto files = filesByBody();
    EXPECT_EQ(files.size(), 4);
    for (const QString& body : files.keys())
        EXPECT_EQ(files[body].size(), 1) << body.toStdString();
    EXPECT_TRUE(files["body of a1"].front().contains("/B/"));
    const QString log = this->log();
    EXPECT_TRUE(log.contains("Mailbox: A\r\nNumber of Scanned Messages: 4\r\n"
                             "Number of Exported Messages: 2\r\n"
                             "Number of Skipped Messages (exported before): 2\r\n"
                             "Duplicate: the message 1 (\"a1\") of the mail folder "
                             "'Local Folders\\A' is a copy of the message exported as '" +
                             files["body of a1"].front() +
                             "'\r\n"
                             "Duplicate: the message 4 (\"a3\") of the mail folder "
                             "'Local Folders\\A' is a copy of the message exported as '" +
                             files["body of a3"].front() + "'\r\n"))
        << log.toStdString();
}

TEST_F(OnlyNewExportTest, WithoutTheSettingNothingIsKeptAndEverythingIsExported) {
    app.OnlyNew = 0;
    EXPECT_EQ(run().Skipped, -1);
    EXPECT_EQ(run().Exported, 4);
    EXPECT_FALSE(QFileInfo::exists(ExportManifest::FolderOf(dest.path())));
    EXPECT_EQ(observer.status.back(), "Task completed. 4 messages exported.");
    EXPECT_FALSE(log().contains("Skipped"));
}

TEST_F(OnlyNewExportTest, SourcesGoOnlyWhileTheFilesExportedBeforeStandElseTheyAreWrittenAgain) {
    for (const char* subject : {"b2", "b3"})
        add(b, subject);
    ASSERT_EQ(run().Exported, 6);
    auto files = filesByBody();
    // One file is deleted, one is replaced by another file of the same size, as an editor
    // saves: written beside it and renamed over it (removing it first could hand the new file
    // the same inode number).
    ASSERT_TRUE(QFile::remove(files["body of b1"].front()));
    const QString b2 = files["body of b2"].front();
    ASSERT_TRUE(test::writeFile(b2 + ".new", test::readFile(b2)));
    ASSERT_EQ(
        ::rename(QFile::encodeName(b2 + ".new").constData(), QFile::encodeName(b2).constData()), 0);

    app.ActionDelete = 1;
    const ExportCommandResult result = run();
    EXPECT_EQ(result.Exported, 2);
    EXPECT_EQ(result.Skipped, 4);
    EXPECT_TRUE(result.Problems.isEmpty()) << result.Problems.join('\n').toStdString();
    for (const auto& [id, folder] : store.folders)
        for (const FakeStore::Message& message : folder.messages)
            EXPECT_TRUE(message.deleted) << message.source;
    EXPECT_TRUE(result.TreeRebuilt);
    files = filesByBody();
    EXPECT_EQ(files["body of b1"].size(), 1);
    EXPECT_EQ(files["body of b2"].size(), 2);
    EXPECT_EQ(files["body of b3"].size(), 1);
}

TEST_F(OnlyNewExportTest, SourcesOfMessagesExportedBeforeGoEvenWhenNothingIsExportedNow) {
    ASSERT_EQ(run().Exported, 4);
    app.ActionDelete = 1;
    const ExportCommandResult result = run();
    EXPECT_EQ(result.Exported, 0);
    EXPECT_TRUE(result.TreeRebuilt);
    EXPECT_FALSE(result.OpenIndex);
    EXPECT_EQ(store.calls.size(), 4u);
    for (const std::string& call : store.calls)
        EXPECT_EQ(call.rfind("delete:", 0), 0u) << call;
}

// A source that cannot be deleted is named as any exported message is: once, with where it lies.
TEST_F(OnlyNewExportTest, ASourceThatCannotGoIsNamedWithItsPlaceOnce) {
    ASSERT_EQ(run().Exported, 4);
    store.folders[a].location = "/store/A";
    store.folders[a].messages[1].failChange = true;
    add(a, "a4");
    store.folders[a].messages[3].failChange = true;
    app.ActionDelete = 1;
    const ExportCommandResult result = run();
    EXPECT_EQ(result.Exported, 1);
    // One exported before and found standing, one exported now.
    EXPECT_EQ(result.Problems,
              (QStringList{"the message 2 (\"a2\") of the mail folder 'Local Folders\\A' "
                           "(/store/A#1) could not be deleted: Input/output error",
                           "the message 4 (\"a4\") of the mail folder 'Local Folders\\A' "
                           "(/store/A#3) could not be deleted: Input/output error"}));
}

TEST_F(OnlyNewExportTest, AListItCannotUseStopsTheRunBeforeItStarts) {
    const QString list = ExportManifest::FileOf(dest.path());
    ASSERT_TRUE(QDir().mkpath(ExportManifest::FolderOf(dest.path())));
    ASSERT_TRUE(test::writeFile(list, "not a list"));
    const ExportCommandResult result = run();
    EXPECT_EQ(result.ValidationMessage,
              "The list of the messages exported to this folder, '" + list +
                  "', cannot be used: it is not a list of exported messages.");
    EXPECT_EQ(result.Exported, 0);
    EXPECT_TRUE(filesByBody().isEmpty());
    EXPECT_EQ(test::readFile(list), "not a list");
}

TEST_F(OnlyNewExportTest, AMessageWhoseFileCouldNotBeWrittenIsExportedByTheNextRun) {
    add(b, "big", "X-Padding: " + std::string(300000, 'x') + "\n");
    ExportCommandResult first;
    {
        const test::ScopedFileSizeLimit limit(200000);
        first = run();
    }
    EXPECT_EQ(first.Exported, 4);
    ASSERT_EQ(first.Problems.size(), 1);
    EXPECT_TRUE(first.Problems.front().contains("could not be written"));
    const ExportCommandResult second = run();
    EXPECT_EQ(second.Exported, 1);
    EXPECT_EQ(second.Skipped, 4);
    EXPECT_EQ(filesByBody()["body of big"].size(), 1);
}

TEST_F(OnlyNewExportTest, AFolderReadCompletelyIsLeftOutWhileItsStoreSaysItIsUnchanged) {
    store.folders.at(a).changeStamp = "a, first state";
    store.folders.at(b).changeStamp = "b, first state";
    // B's message cannot be read: B is read again next time.
    store.folders.at(b).messages.front().failOpen = true;
    ASSERT_EQ(run().Exported, 3);
    store.folders.at(b).messages.front().failOpen = false;
    const ExportCommandResult second = run();
    EXPECT_EQ(second.Exported, 1);
    EXPECT_EQ(second.Skipped, 3);
    EXPECT_EQ(store.folders.at(a).opened, 1);
    EXPECT_EQ(store.folders.at(b).opened, 2);
    EXPECT_TRUE(log().contains("Mailbox: A\r\nNumber of Scanned Messages: 3\r\n"
                               "Number of Exported Messages: Zero\r\n"
                               "Number of Skipped Messages (exported before): 3\r\n"));
    EXPECT_EQ(observer.status.back(),
              "Task completed. One messages exported, 3 skipped as exported before.");

    // A message arrives in A; the store says A changed.
    add(a, "a4");
    store.folders.at(a).changeStamp = "a, second state";
    EXPECT_EQ(run().Exported, 1);
    EXPECT_EQ(store.folders.at(a).opened, 2);

    // Filters, or actions that change the store, have every folder read.
    struct Case {
        const char* label;
        std::function<void()> set;
        std::function<void()> unset;
    };
    const Case cases[] = {
        {"a filter", [&] { app.Filters.items.append(STR_FILTER_ITEM{}); },
         [&] { app.Filters.items.clear(); }},
        {"marking read", [&] { app.ActionMarkRead = 1; }, [&] { app.ActionMarkRead = 0; }},
        {"compacting", [&] { app.CompactMailboxes = 1; }, [&] { app.CompactMailboxes = 0; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const int before = store.folders.at(a).opened;
        c.set();
        run();
        c.unset();
        EXPECT_EQ(store.folders.at(a).opened, before + 1);
    }
    const int before = store.folders.at(a).opened;
    EXPECT_EQ(run().Skipped, 5);
    EXPECT_EQ(store.folders.at(a).opened, before);
}
