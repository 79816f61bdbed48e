// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/ExportSession.h"
#include "filters/FilterSetFile.h"
#include "support/FakeStore.h"
#include "support/StoreTestSupport.h"
#include "support/TestEnv.h"

#include <QDirIterator>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>

using namespace parcelo;

namespace {

struct QuietObserver : IExportObserver {
    void SetProgress(int) override {}
    void SetStatusText(const QString&) override {}
};

// Every message of every folder by Message-ID, with its source and state.
struct Snapshot {
    struct Message {
        QByteArray source;
        std::uint32_t state = 0;
    };
    std::map<QByteArray, Message> messages;
};

QByteArray messageId(const QByteArray& source) {
    static const QRegularExpression id(QStringLiteral("(?im)^Message-ID:\\s*(<[^>]+>)"));
    const auto match = id.match(QString::fromLatin1(source));
    return match.hasMatch() ? match.captured(1).toLatin1() : source.left(200);
}

Snapshot snapshot(const QString& storePath) {
    Snapshot result;
    auto store = test::OpenStore(storePath);
    EXPECT_TRUE(store);
    for (const auto& folder : test::WalkFolders(*store)) {
        auto open = test::OpenFolderByPath(*store, folder.path);
        if (!open)
            continue;
        for (const MESSAGEPROPS& props : test::EnumerateMessages(*open)) {
            bool ok = false;
            const QByteArray source = test::ReadSource(*open, props.dwMessageId, &ok);
            EXPECT_TRUE(ok);
            result.messages[messageId(source)] = {source, props.dwState};
        }
        open->Close();
    }
    return result;
}

QByteArray withoutStatusFields(QByteArray source) {
    static const QRegularExpression status(
        QStringLiteral("(?m)^(X-Mozilla-Status|Status):[^\\r\\n]*\\r\\n"));
    return QString::fromLatin1(source).remove(status).toLatin1();
}

class SourceActionsTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        storePath = tmp.filePath(GetParam());
        ASSERT_TRUE(test::copyTree(test::examplesDir() + "/" + GetParam(), storePath));
        QDir().mkpath(tmp.filePath("out"));
        app.Paths = AppPaths::ForFolder(tmp.filePath("app"));
        QDir().mkpath(app.Paths.AppFolder);
        app.FolderPath = tmp.filePath("out") + "/";
        // Export only the messages whose subject has an "a" in it: the rest must stay as they were.
        STR_FILTER_ITEM item;
        item.Criteria = 1;
        item.TextField = "a";
        app.Filters.items = {item};
    }

    int exportAll() {
        auto store = test::OpenStore(storePath);
        FolderTreeModel tree;
        tree.PopulateFolderTree(*store);
        tree.CheckAll();
        QuietObserver observer;
        ExportSession session(app, *store, observer);
        return session.OnExportMessages(tree).Exported;
    }

    QTemporaryDir tmp;
    QString storePath;
    ExportSettings app;
};

} // namespace

TEST_P(SourceActionsTest, MarkReadThenDeleteTouchOnlyExportedMessages) {
    const Snapshot before = snapshot(storePath);
    app.ActionMarkRead = 1;
    const int exported = exportAll();
    ASSERT_GT(exported, 0);
    ASSERT_LT(exported, static_cast<int>(before.messages.size()));

    const Snapshot marked = snapshot(storePath);
    ASSERT_EQ(marked.messages.size(), before.messages.size());
    int changed = 0;
    for (const auto& [id, message] : before.messages) {
        const auto& after = marked.messages.at(id);
        if (after.source == message.source && after.state == message.state)
            continue;
        ++changed;
        EXPECT_FALSE(after.state & MSG_UNREAD) << id.toStdString();
        EXPECT_EQ(withoutStatusFields(after.source), withoutStatusFields(message.source))
            << id.toStdString();
    }
    EXPECT_LE(changed, exported); // already-read exported messages need no change

    app.ActionMarkRead = 0;
    app.ActionDelete = 1;
    app.CompactMailboxes = 1;
    EXPECT_EQ(exportAll(), exported);
    const Snapshot left = snapshot(storePath);
    EXPECT_EQ(static_cast<int>(left.messages.size()),
              static_cast<int>(before.messages.size()) - exported);
    for (const auto& [id, message] : left.messages)
        EXPECT_EQ(message.source, marked.messages.at(id).source) << id.toStdString();
    // Everything exported went to files; a second deleting run finds nothing more to take.
    EXPECT_EQ(exportAll(), 0);

    // An independent reader still reads the store and finds the same number of messages.
    const QString script = QStringLiteral(
        "import mailbox, os, sys\n"
        "root = sys.argv[1]\n"
        "n = 0\n"
        "if os.path.isdir(os.path.join(root, 'cur')):\n"
        "    for d, subdirs, _ in os.walk(root):\n"
        "        if 'cur' in subdirs:\n"
        "            for sub in ('new', 'tmp'):\n"
        "                os.makedirs(os.path.join(d, sub), exist_ok=True)\n"
        "    md = mailbox.Maildir(root, factory=None, create=False)\n"
        "    boxes = [md] + [md.get_folder(f) for f in md.list_folders()]\n"
        "    n = sum(1 for box in boxes for m in box if 'T' not in m.get_flags())\n"
        "else:\n"
        "    for d, _, files in os.walk(root):\n"
        "        for f in files:\n"
        "            p = os.path.join(d, f)\n"
        "            if f.endswith('.msf') or 'Deleted Items' in p or 'deleted items' in p:\n"
        "                continue\n"
        "            n += sum(1 for m in mailbox.mbox(p, create=False) if not "
        "(int(m.get('X-Mozilla-Status', '0'), 16) & 8))\n"
        "print(n)\n");
    QProcess python;
    python.start("python3", {"-c", script, storePath});
    ASSERT_TRUE(python.waitForFinished(60000));
    ASSERT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    const int deletedItems = GetParam() == QLatin1String("Local Folders") ? 4 : 0;
    EXPECT_EQ(python.readAllStandardOutput().trimmed().toInt() + deletedItems,
              static_cast<int>(left.messages.size()));
}

INSTANTIATE_TEST_SUITE_P(BothStores, SourceActionsTest,
                         ::testing::Values("Local Folders", "Maildir"));

TEST(OverwriteIfNewer, EveryMessageIsInAFileOrStillInTheStore) {
    QTemporaryDir tmp;
    test::FakeStore store;
    const auto folder = store.AddFolder(0, "Inbox");
    auto add = [&](const char* date) {
        store
            .AddMessage(folder, std::string("From: a@example.com\nSubject: Same\nDate: ") + date +
                                    "\n\nbody " + date + "\n")
            .props.pszNormalSubject = "Same";
    };
    add("Mon, 05 Jan 2009 10:00:00 +0000");
    add("Tue, 05 Jan 2010 10:00:00 +0000"); // newer: replaces the first file
    add("Wed, 05 Jan 2005 10:00:00 +0000"); // older: skipped
    FolderTreeModel tree;
    tree.PopulateFolderTree(store);
    tree.CheckAll();
    ExportSettings app;
    app.Paths = AppPaths::ForFolder(tmp.filePath("app"));
    QDir().mkpath(app.Paths.AppFolder);
    app.FolderPath = tmp.path() + "/";
    app.FolderOption = 0;
    app.MessageOption = 1;
    app.ActionDelete = 1;
    QuietObserver observer;
    ExportSession session(app, store, observer);
    session.OnExportMessages(tree);

    const QByteArray file = test::readFile(tmp.filePath("Same.eml"));
    EXPECT_TRUE(file.contains("body Tue, 05 Jan 2010")) << file.toStdString();
    // Only the message whose file survives is deleted from the store.
    EXPECT_EQ(store.calls, (std::vector<std::string>{"delete:Inbox:1"}));
    EXPECT_EQ(QDir(tmp.path()).entryList(QDir::Files).size(), 1);
}

namespace {

// Empties the destination once the given number of messages were exported, as a user
// clearing the folder mid-run would.
struct EmptyingObserver : IExportObserver {
    QString destination;
    int after = 0;
    int seen = 0;
    QStringList problems;
    void SetProgress(int) override {}
    void SetStatusText(const QString&) override {}
    void PumpEvents() override {
        if (++seen != after)
            return;
        for (QDirIterator it(destination, QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
            QFile::remove(it.next());
    }
    void ReportProblem(const QString& text) override { problems << text; }
};

} // namespace

TEST(SourceActions, FilesGoneBeforeTheActionsKeepTheirSources) {
    for (int after : {2, 4}) {
        QTemporaryDir tmp;
        test::FakeStore store;
        const auto folder = store.AddFolder(0, "Inbox");
        for (int i = 0; i < 4; ++i)
            store
                .AddMessage(folder, "From: a@example.com\nSubject: m" + std::to_string(i) +
                                        "\nDate: Mon, 05 Jan 2009 10:00:00 +0000\n\nbody\n")
                .props.pszNormalSubject = "m" + QByteArray::number(i);
        FolderTreeModel tree;
        tree.PopulateFolderTree(store);
        tree.CheckAll();
        ExportSettings app;
        app.Paths = AppPaths::ForFolder(tmp.filePath("app"));
        QDir().mkpath(app.Paths.AppFolder);
        QDir().mkpath(tmp.filePath("out"));
        app.FolderPath = tmp.filePath("out") + "/";
        app.FolderOption = 0;
        app.ActionMarkRead = 1;
        app.ActionDelete = 1;
        EmptyingObserver observer;
        observer.destination = tmp.filePath("out");
        observer.after = after; // halfway through the messages, or just before the actions
        ExportSession session(app, store, observer);
        session.OnExportMessages(tree);

        // Every message is in its file or still in the store, and each loss of a file is told.
        int kept = 0;
        for (const auto& message : store.folders.at(folder).messages) {
            const QString name = QString::fromUtf8(message.props.pszNormalSubject) + ".eml";
            const bool inFile = QFileInfo::exists(tmp.filePath("out/" + name));
            EXPECT_TRUE(inFile || !message.deleted) << after << " " << name.toStdString();
            if (!message.deleted) {
                ++kept;
                EXPECT_FALSE(message.read) << after << " " << name.toStdString();
            }
        }
        // Files written while the observer heard of earlier messages may be gone as well.
        EXPECT_GE(kept, after) << after;
        EXPECT_EQ(observer.problems.size(), kept) << after;
    }
}

// A user deletes the first message's file while the run goes on, and the next message of the
// folder gets its name: the first message's source must stay, the next one's goes.
TEST(SourceActions, AFreedNameTakenByTheNextMessageKeepsTheFirstSource) {
    QTemporaryDir tmp;
    const QString storePath = tmp.filePath("store");
    QDir().mkpath(storePath);
    QDir().mkpath(tmp.filePath("out"));
    // The same sender, subject and date give both messages one name. The first is too big to be
    // written while the next is read, so its file exists before the next one is looked at.
    const QByteArray header = "From: a@example.com\nSubject: Same\n"
                              "Date: Mon, 05 Jan 2009 10:00:00 +0000\n";
    QByteArray big;
    const QByteArray line = QByteArray(76, 'x') + '\n';
    while (big.size() < (9 << 20))
        big += line;
    ASSERT_TRUE(test::writeFile(tmp.filePath("store/Inbox"),
                                "From a@example.com Mon Jan  5 10:00:00 2009\n" + header +
                                    "Message-ID: <first@example.com>\n\n" + big + "\n" +
                                    "From a@example.com Mon Jan  5 10:00:00 2009\n" + header +
                                    "Message-ID: <second@example.com>\n\nsecond\n\n"));

    ExportSettings app;
    app.Paths = AppPaths::ForFolder(tmp.filePath("app"));
    QDir().mkpath(app.Paths.AppFolder);
    app.FolderPath = tmp.filePath("out") + "/";
    app.FolderOption = 0;
    app.FileOption = 2;
    app.ActionDelete = 1;
    EmptyingObserver observer;
    observer.destination = tmp.filePath("out");
    observer.after = 1;
    ExportCommandResult result;
    {
        auto store = test::OpenStore(storePath);
        FolderTreeModel tree;
        tree.PopulateFolderTree(*store);
        tree.CheckAll();
        ExportSession session(app, *store, observer);
        result = session.OnExportMessages(tree);
    }
    EXPECT_EQ(result.Exported, 2);
    const QStringList files = QDir(tmp.filePath("out")).entryList(QDir::Files);
    ASSERT_EQ(files, QStringList{"Same.eml"});
    EXPECT_TRUE(test::readFile(tmp.filePath("out/Same.eml")).contains("<second@example.com>"));
    ASSERT_EQ(result.Problems.size(), 1) << result.Problems.join('\n').toStdString();
    EXPECT_TRUE(result.Problems[0].contains(tmp.filePath("out/Same.eml")))
        << result.Problems[0].toStdString();

    // Python's mailbox module lists what the mailbox still holds.
    QProcess python;
    python.start("python3", {"-c",
                             "import mailbox, sys\n"
                             "for m in mailbox.mbox(sys.argv[1], create=False):\n"
                             "    if not int(m.get('X-Mozilla-Status', '0'), 16) & 8:\n"
                             "        print(m['Message-ID'])\n",
                             tmp.filePath("store/Inbox")});
    ASSERT_TRUE(python.waitForFinished(60000));
    ASSERT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    EXPECT_EQ(python.readAllStandardOutput().trimmed(), "<first@example.com>");
}

TEST(OverwriteIfNewer, ReadsTheDateOfAFileWithLfLineEnds) {
    QTemporaryDir tmp;
    ASSERT_TRUE(test::writeFile(tmp.filePath("Same.eml"),
                                "From: a@example.com\nSubject: Same\n"
                                "Date: Mon, 05 Jan 2009 10:00:00 +0000\n\nold body\n"));
    test::FakeStore store;
    const auto folder = store.AddFolder(0, "Inbox");
    store
        .AddMessage(folder, "From: a@example.com\nSubject: Same\n"
                            "Date: Tue, 05 Jan 2010 10:00:00 +0000\n\nnew body\n")
        .props.pszNormalSubject = "Same";
    FolderTreeModel tree;
    tree.PopulateFolderTree(store);
    tree.CheckAll();
    ExportSettings app;
    app.Paths = AppPaths::ForFolder(tmp.filePath("app"));
    QDir().mkpath(app.Paths.AppFolder);
    app.FolderPath = tmp.path() + "/";
    app.FolderOption = 0;
    app.MessageOption = 1;
    QuietObserver observer;
    ExportSession session(app, store, observer);
    EXPECT_EQ(session.OnExportMessages(tree).Exported, 1);
    EXPECT_TRUE(test::readFile(tmp.filePath("Same.eml")).contains("new body"));
}
