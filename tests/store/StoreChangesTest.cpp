// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/PendingFile.h"
#include "store/header/MessageHeader.h"
#include "support/StoreTestSupport.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

using namespace parcelo;
using namespace parcelo::test;

namespace {

QString Corpus(const char* relative) {
    return corpusDir() + QLatin1Char('/') + relative;
}

MESSAGEIDLIST Ids(std::initializer_list<StoreMessageId> ids) {
    MESSAGEIDLIST list;
    list.ids = ids;
    return list;
}

ino_t Inode(const QString& path) {
    struct stat st = {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_ino;
}

// Offsets of the "From " lines at the file's start or after an empty line.
std::vector<qsizetype> Separators(const QByteArray& mbox) {
    std::vector<qsizetype> offsets;
    if (mbox.startsWith("From "))
        offsets.push_back(0);
    for (const char* marker : {"\n\nFrom ", "\n\r\nFrom "}) {
        const qsizetype skip = qsizetype(strlen(marker)) - 5;
        for (qsizetype at = mbox.indexOf(marker); at >= 0; at = mbox.indexOf(marker, at + 1))
            offsets.push_back(at + skip);
    }
    std::sort(offsets.begin(), offsets.end());
    return offsets;
}

// The mbox without message i (from its separator to the next).
QByteArray WithoutMessage(const QByteArray& mbox, size_t i) {
    const auto offsets = Separators(mbox);
    const qsizetype end = i + 1 < offsets.size() ? offsets[i + 1] : mbox.size();
    return mbox.left(offsets[i]) + mbox.mid(end);
}

struct Snapshot {
    std::vector<MESSAGEPROPS> props;
    std::vector<QByteArray> sources;
};

Snapshot Read(IStoreNamespace& store, const QString& folderPath) {
    Snapshot snapshot;
    auto folder = OpenFolderByPath(store, folderPath);
    EXPECT_TRUE(folder);
    if (!folder)
        return snapshot;
    snapshot.props = EnumerateMessages(*folder);
    for (const MESSAGEPROPS& props : snapshot.props) {
        bool ok = false;
        snapshot.sources.push_back(ReadSource(*folder, props.dwMessageId, &ok));
        EXPECT_TRUE(ok);
    }
    EXPECT_EQ(folder->Close(), S_OK);
    return snapshot;
}

QStringList Leftovers(const QString& dir) {
    return QDir(dir).entryList(QStringList{QStringLiteral(".*parcelo*"), QStringLiteral("*.lock")},
                               QDir::Files | QDir::Hidden);
}

class FailureAfterBytes {
public:
    explicit FailureAfterBytes(qint64 bytes) { PendingFile::SetFailureAfterBytes(bytes); }
    ~FailureAfterBytes() { PendingFile::SetFailureAfterBytes(-1); }
};

} // namespace

TEST(MboxChanges, MarkReadAndDeleteRewriteOnceAtClose) {
    PARCELO_REQUIRE_CORPUS();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("teaparty"));
    const QByteArray original = readFile(Corpus("gnu-mailutils/spool/teaparty.mbox"));
    ASSERT_TRUE(writeFile(path, original));
    ASSERT_TRUE(writeFile(path + QStringLiteral(".msf"), "index"));
    auto store = OpenStore(dir.path());
    const Snapshot before = Read(*store, QStringLiteral("teaparty"));
    ASSERT_EQ(before.props.size(), 95u);
    const ino_t inode = Inode(path);

    auto folder = OpenFolderByPath(*store, QStringLiteral("teaparty"));
    ASSERT_TRUE(folder);
    ASSERT_EQ(EnumerateMessages(*folder).size(), 95u);
    for (StoreMessageId id : {1u, 3u, 93u})
        EXPECT_EQ(folder->MarkMessagesAsRead(true, Ids({id})), S_OK);
    EXPECT_EQ(folder->MarkMessagesAsRead(true, Ids({2})), S_OK);
    EXPECT_EQ(folder->DeleteMessages(Ids({2, 94})), S_OK);
    EXPECT_EQ(folder->DeleteMessages(Ids({200})), E_INVALIDARG);
    EXPECT_TRUE(readFile(path) == original); // nothing is written before the folder closes
    EXPECT_EQ(folder->Close(), S_OK);
    EXPECT_LT(folder->Close(), 0);
    EXPECT_NE(Inode(path), inode);
    EXPECT_FALSE(QFile::exists(path + QStringLiteral(".msf")));
    EXPECT_TRUE(Leftovers(dir.path()).isEmpty());

    // The file is the original without messages 2 and 94 and with one Status field added to
    // each message marked read; nothing else differs.
    QByteArray rewritten = readFile(path);
    EXPECT_EQ(rewritten.count("Status: RO\n"), 3);
    rewritten.replace("Status: RO\n", "");
    EXPECT_TRUE(rewritten == WithoutMessage(WithoutMessage(original, 94), 2));

    // Every other message reads as before, the one before the removed last message too.
    const Snapshot after = Read(*OpenStore(dir.path()), QStringLiteral("teaparty"));
    ASSERT_EQ(after.props.size(), 93u);
    for (size_t i = 0, j = 0; i < before.props.size(); ++i) {
        if (i == 2 || i == 94)
            continue;
        const bool marked = i == 1 || i == 3 || i == 93;
        EXPECT_EQ(after.props[j].dwState & MSG_UNREAD, marked ? 0u : MSG_UNREAD) << i;
        EXPECT_EQ(after.props[j].pszNormalSubject, before.props[i].pszNormalSubject);
        QByteArray source = after.sources[j];
        if (marked)
            source.replace("Status: RO\r\n", "");
        EXPECT_TRUE(source == before.sources[i]) << i;
        ++j;
    }
}

TEST(MboxChanges, RewriteKeepsCrlfLineEndsAndEscapes) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Box"));
    const QByteArray original =
        "From a Mon Jan  1 00:00:00 2001\r\nSubject: one\r\nStatus: O\r\n"
        "\r\n>From x\r\n\r\n"
        "From b Mon Jan  1 00:00:00 2001\r\nSubject: two\r\n\r\nbody\r\n\r\n"
        "From c Mon Jan  1 00:00:00 2001\r\nSubject: three\r\n\r\n>>From y\r\n";
    ASSERT_TRUE(writeFile(path, original));
    auto store = OpenStore(dir.path());
    auto folder = OpenFolderByPath(*store, QStringLiteral("Box"));
    ASSERT_TRUE(folder);
    ASSERT_EQ(EnumerateMessages(*folder).size(), 3u);
    folder->MarkMessagesAsRead(true, Ids({0, 2}));
    folder->DeleteMessages(Ids({1}));
    ASSERT_EQ(folder->Close(), S_OK);
    EXPECT_EQ(readFile(path),
              QByteArray("From a Mon Jan  1 00:00:00 2001\r\nSubject: one\r\nStatus: RO\r\n"
                         "\r\n>From x\r\n\r\n"
                         "From c Mon Jan  1 00:00:00 2001\r\nSubject: three\r\nStatus: RO\r\n\r\n"
                         ">>From y\r\n"));
}

TEST(MboxChanges, MozillaStatusIsEditedInPlaceAndCompactRemovesDeleted) {
    PARCELO_REQUIRE_CORPUS();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Inbox"));
    const QByteArray original =
        readFile(Corpus("comm-central/mailnews/local/test/unit/data/movemailspool"));
    ASSERT_TRUE(writeFile(path, original));
    const ino_t inode = Inode(path);
    auto store = OpenStore(dir.path());
    {
        auto folder = OpenFolderByPath(*store, QStringLiteral("Inbox"));
        ASSERT_TRUE(folder);
        const auto messages = EnumerateMessages(*folder);
        ASSERT_EQ(messages.size(), 3u);
        EXPECT_EQ(messages[1].dwState, MSG_UNREAD);
        folder->MarkMessagesAsRead(true, Ids({1}));
        folder->DeleteMessages(Ids({0}));
    } // destroying the folder closes it and applies the changes
    const QByteArray edited = readFile(path);
    EXPECT_EQ(Inode(path), inode);
    ASSERT_EQ(edited.size(), original.size());
    QByteArray expected = original;
    const qsizetype first = expected.indexOf("X-Mozilla-Status: 0001");
    const qsizetype second = expected.indexOf("X-Mozilla-Status: 0000");
    expected.replace(first, 22, "X-Mozilla-Status: 0009");
    expected.replace(second, 22, "X-Mozilla-Status: 0001");
    EXPECT_TRUE(edited == expected);

    FOLDERPROPS props;
    store->GetFolderProperties(WalkFolders(*store)[0].id, &props);
    EXPECT_EQ(props.cMessage, 2);
    EXPECT_EQ(props.cUnread, 0);

    auto folder = OpenFolderByPath(*store, QStringLiteral("Inbox"));
    ASSERT_TRUE(folder);
    const Snapshot before = Read(*store, QStringLiteral("Inbox"));
    EXPECT_EQ(folder->Compact(), S_OK);
    EXPECT_EQ(folder->Close(), S_OK);
    EXPECT_TRUE(readFile(path) == WithoutMessage(expected, 0));
    const Snapshot after = Read(*OpenStore(dir.path()), QStringLiteral("Inbox"));
    ASSERT_EQ(after.sources.size(), 2u);
    EXPECT_TRUE(after.sources == before.sources);
}

TEST(MboxChanges, CompactWithNothingToRemoveLeavesTheFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Box"));
    ASSERT_TRUE(writeFile(path, "From - \nSubject: a\n\nx\n"));
    const ino_t inode = Inode(path);
    auto store = OpenStore(dir.path());
    auto folder = OpenFolderByPath(*store, QStringLiteral("Box"));
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder->Compact(), S_OK);
    EXPECT_EQ(folder->Close(), S_OK);
    EXPECT_EQ(Inode(path), inode);
}

TEST(MboxChanges, AFailureInTheMiddleOfARewriteLosesNothing) {
    PARCELO_REQUIRE_CORPUS();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("mbox.win"));
    const QByteArray original = readFile(Corpus("perl-mail-box/mbox.win"));
    ASSERT_TRUE(writeFile(path, original));
    ASSERT_TRUE(writeFile(path + QStringLiteral(".msf"), "index"));
    auto store = OpenStore(dir.path());
    {
        auto folder = OpenFolderByPath(*store, QStringLiteral("mbox.win"));
        ASSERT_TRUE(folder);
        ASSERT_EQ(EnumerateMessages(*folder).size(), 45u);
        folder->DeleteMessages(Ids({0, 7, 44}));
        FailureAfterBytes failure(original.size() / 2);
        EXPECT_LT(folder->Compact(), 0);
        EXPECT_TRUE(readFile(path) == original);
        EXPECT_TRUE(Leftovers(dir.path()).isEmpty());
        EXPECT_TRUE(QFile::exists(path + QStringLiteral(".msf")));
        EXPECT_LT(folder->Close(), 0); // the changes are still pending and fail again
        EXPECT_TRUE(readFile(path) == original);
    }
    EXPECT_EQ(Read(*OpenStore(dir.path()), QStringLiteral("mbox.win")).props.size(), 45u);

    // The changes survive a failed attempt: once writing works, Close applies them.
    auto folder = OpenFolderByPath(*store, QStringLiteral("mbox.win"));
    ASSERT_TRUE(folder);
    EnumerateMessages(*folder);
    folder->DeleteMessages(Ids({0, 7, 44}));
    {
        FailureAfterBytes failure(10);
        EXPECT_LT(folder->Compact(), 0);
    }
    EXPECT_EQ(folder->Close(), S_OK);
    const QByteArray expected = WithoutMessage(WithoutMessage(WithoutMessage(original, 44), 7), 0);
    EXPECT_TRUE(readFile(path) == expected);
    EXPECT_EQ(Read(*OpenStore(dir.path()), QStringLiteral("mbox.win")).props.size(), 42u);
}

TEST(MboxChanges, LockedOrChangedMailboxIsNotTouched) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Box"));
    const QByteArray original = "From - \nSubject: a\n\nx\n\nFrom - \nSubject: b\n\ny\n";
    ASSERT_TRUE(writeFile(path, original));
    auto store = OpenStore(dir.path());

    // A fresh lock of another program that still runs.
    ASSERT_TRUE(writeFile(path + QStringLiteral(".lock"), QByteArray::number(::getppid()) + '\n'));
    auto folder = OpenFolderByPath(*store, QStringLiteral("Box"));
    ASSERT_TRUE(folder);
    folder->DeleteMessages(Ids({0}));
    EXPECT_LT(folder->Close(), 0);
    EXPECT_TRUE(readFile(path) == original);
    EXPECT_TRUE(QFile::exists(path + QStringLiteral(".lock")));

    // A stale lock that names no process of this host is taken over.
    ASSERT_TRUE(writeFile(path + QStringLiteral(".lock"), "1 some-other-host.example\n"));
    struct utimbuf old = {1000, 1000};
    ASSERT_EQ(utime(QFile::encodeName(path + QStringLiteral(".lock")).constData(), &old), 0);
    folder = OpenFolderByPath(*store, QStringLiteral("Box"));
    folder->DeleteMessages(Ids({0}));
    EXPECT_EQ(folder->Close(), S_OK);
    EXPECT_FALSE(QFile::exists(path + QStringLiteral(".lock")));
    EXPECT_EQ(readFile(path), QByteArray("From - \nSubject: b\n\ny\n"));

    // Another program appended a message after the folder was opened.
    folder = OpenFolderByPath(*store, QStringLiteral("Box"));
    ASSERT_EQ(EnumerateMessages(*folder).size(), 1u);
    folder->DeleteMessages(Ids({0}));
    const QByteArray grown = readFile(path) + "\nFrom - \nSubject: new\n\nz\n";
    ASSERT_TRUE(writeFile(path, grown));
    EXPECT_LT(folder->Close(), 0);
    EXPECT_TRUE(readFile(path) == grown);
}

TEST(MaildirChanges, MarkReadRenamesIntoCurAndDeleteRemovesTheFile) {
    PARCELO_REQUIRE_CORPUS();
    QTemporaryDir dir;
    ASSERT_TRUE(copyTree(Corpus("mu/testdir"), dir.path()));
    const QString cur = dir.filePath(QStringLiteral("cur/"));
    const QString fresh = dir.filePath(QStringLiteral("new/"));
    const QStringList before =
        QDir(cur).entryList(QDir::Files) + QDir(fresh).entryList(QDir::Files);
    auto store = OpenStore(dir.path());
    auto inbox = OpenFolderByPath(*store, QStringLiteral("Inbox"));
    ASSERT_TRUE(inbox);
    const auto messages = EnumerateMessages(*inbox);
    ASSERT_EQ(messages.size(), 19u);
    // In file-name order over new/ and cur/: 1220863087.12663_21.mindcrime (new/) is id 4,
    // 1283599333.1840_11.cthulhu!2, (cur/, unread) id 11, encrypted!2,S id 13.
    bool ok = false;
    const QByteArray source11 = ReadSource(*inbox, 11, &ok);
    ASSERT_TRUE(ok);
    const QByteArray newFile = readFile(fresh + QStringLiteral("1220863087.12663_21.mindcrime"));
    EXPECT_EQ(inbox->MarkMessagesAsRead(true, Ids({4, 11, 13})), S_OK);
    EXPECT_EQ(inbox->DeleteMessages(Ids({0})), S_OK);
    EXPECT_EQ(inbox->DeleteMessages(Ids({0})), E_INVALIDARG);
    EXPECT_EQ(inbox->Compact(), S_OK);

    EXPECT_FALSE(QFile::exists(fresh + QStringLiteral("1220863087.12663_21.mindcrime")));
    EXPECT_EQ(readFile(cur + QStringLiteral("1220863087.12663_21.mindcrime:2,S")), newFile);
    EXPECT_TRUE(QFile::exists(cur + QStringLiteral("1283599333.1840_11.cthulhu!2,S")));
    EXPECT_TRUE(QFile::exists(cur + QStringLiteral("encrypted!2,S")));
    EXPECT_FALSE(QFile::exists(cur + QStringLiteral("1220863042.12663_1.mindcrime!2,S")));
    // Ids stay valid after the rename.
    EXPECT_EQ(ReadSource(*inbox, 11, &ok), source11);
    EXPECT_TRUE(ok);
    EXPECT_EQ(inbox->Close(), S_OK);

    // Every other file is untouched.
    const QStringList after = QDir(cur).entryList(QDir::Files) + QDir(fresh).entryList(QDir::Files);
    EXPECT_EQ(after.size(), before.size() - 1);
    for (const QString& name : before) {
        if (name.startsWith(QLatin1String("1220863087.12663_21")) ||
            name.startsWith(QLatin1String("1283599333")) ||
            name.startsWith(QLatin1String("1220863042.12663_1.")))
            continue;
        EXPECT_TRUE(after.contains(name)) << name.toStdString();
    }

    const auto reread = OpenStore(dir.path());
    const auto folders = WalkFolders(*reread);
    ASSERT_EQ(folders.size(), 1u);
    EXPECT_EQ(folders[0].props.cMessage, 18);
    EXPECT_EQ(folders[0].props.cUnread, 4);
}

TEST(MaildirChanges, MarkReadNeverReplacesAnotherFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral("new/1.host")), "Subject: new\n\nx\n"));
    ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral("cur/1.host:2,S")), "Subject: other\n\ny\n"));
    auto store = OpenStore(dir.path());
    auto inbox = OpenFolderByPath(*store, QStringLiteral("Inbox"));
    ASSERT_TRUE(inbox);
    const auto messages = EnumerateMessages(*inbox);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_LT(inbox->MarkMessagesAsRead(true, Ids({0})), 0);
    EXPECT_EQ(readFile(dir.filePath(QStringLiteral("new/1.host"))),
              QByteArray("Subject: new\n\nx\n"));
    EXPECT_EQ(readFile(dir.filePath(QStringLiteral("cur/1.host:2,S"))),
              QByteArray("Subject: other\n\ny\n"));
}

TEST(MaildirChanges, MarkReadKeepsCharactersBeyondTheBasicPlaneInTheFlags) {
    // U+1F600 and U+1F4A9 share their first UTF-16 unit: sorting units would split both.
    const QByteArray before("1.host:2,\xF0\x9F\x98\x80"
                            "F\xF0\x9F\x92\xA9");
    const QByteArray after("1.host:2,FS\xF0\x9F\x92\xA9\xF0\x9F\x98\x80");
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("cur")));
    ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral("cur/") + QString::fromUtf8(before)),
                          "Subject: smile\n\nx\n"));
    auto store = OpenStore(dir.path());
    auto inbox = OpenFolderByPath(*store, QStringLiteral("Inbox"));
    ASSERT_TRUE(inbox);
    ASSERT_EQ(EnumerateMessages(*inbox).size(), 1u);
    EXPECT_EQ(inbox->MarkMessagesAsRead(true, Ids({0})), S_OK);

    std::vector<QByteArray> names;
    const QByteArray cur = QFile::encodeName(dir.filePath(QStringLiteral("cur")));
    if (DIR* listing = ::opendir(cur.constData())) {
        while (const dirent* item = ::readdir(listing))
            if (item->d_name[0] != '.')
                names.emplace_back(item->d_name);
        ::closedir(listing);
    }
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(names[0].toStdString(), after.toStdString());
    EXPECT_EQ(readFile(QString::fromLocal8Bit(cur + '/' + after)),
              QByteArray("Subject: smile\n\nx\n"));
}

TEST(StoreChanges, PythonsMailboxModuleReadsTheStoresAfterADeletingRun) {
    PARCELO_REQUIRE_CORPUS();
    if (QStandardPaths::findExecutable(QStringLiteral("python3")).isEmpty())
        GTEST_SKIP() << "python3 missing";
    QTemporaryDir dir;
    const QString mbox = dir.filePath(QStringLiteral("mbox/teaparty"));
    const QString maildir = dir.filePath(QStringLiteral("maildir"));
    ASSERT_TRUE(writeFile(mbox, readFile(Corpus("gnu-mailutils/spool/teaparty.mbox"))));
    ASSERT_TRUE(QDir().mkpath(maildir));
    ASSERT_TRUE(copyTree(Corpus("mu/testdir"), maildir));

    // Delete and mark read every third message in both stores, then compact.
    QStringList ours;
    for (const QString& store : {dir.filePath(QStringLiteral("mbox")), maildir}) {
        auto opened = OpenStore(store);
        ASSERT_TRUE(opened);
        const FolderLine line = WalkFolders(*opened).at(0);
        std::unique_ptr<IStoreFolder> folder;
        ASSERT_EQ(opened->OpenFolder(line.id, &folder), S_OK);
        for (const MESSAGEPROPS& props : EnumerateMessages(*folder)) {
            if (props.dwMessageId % 3 == 0)
                folder->MarkMessagesAsRead(true, Ids({props.dwMessageId}));
            if (props.dwMessageId % 3 == 1)
                folder->DeleteMessages(Ids({props.dwMessageId}));
        }
        ASSERT_EQ(folder->Compact(), S_OK);
        ASSERT_EQ(folder->Close(), S_OK);
        QStringList ids;
        auto reread = OpenStore(store);
        auto again = OpenFolderByPath(*reread, line.path);
        for (const MESSAGEPROPS& props : EnumerateMessages(*again)) {
            bool ok = false;
            const QByteArray source = ReadSource(*again, props.dwMessageId, &ok);
            ids.append(QString::fromUtf8(MessageHeader(source).value("Message-ID")));
        }
        ids.sort();
        ours.append(QString::number(ids.size()) + QLatin1Char(' ') + ids.join(QLatin1Char(' ')));
    }

    const char* script = R"(
import mailbox, sys
for box in (mailbox.mbox(sys.argv[1], create=False), mailbox.Maildir(sys.argv[2], create=False)):
    ids = sorted((m['Message-ID'] or '').strip() for m in box)
    print(len(ids), ' '.join(ids))
)";
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"), QString::fromLatin1(script), mbox, maildir});
    ASSERT_TRUE(python.waitForFinished(60000));
    ASSERT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    const QStringList theirs = QString::fromUtf8(python.readAllStandardOutput())
                                   .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(theirs.size(), 2);
    EXPECT_EQ(theirs[0].toStdString(), ours[0].toStdString());
    EXPECT_EQ(theirs[1].toStdString(), ours[1].toStdString());
    EXPECT_TRUE(theirs[0].startsWith(QLatin1String("63 ")));
}
