// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/maildir/MaildirFileName.h"
#include "store/maildir/ModifiedUtf7.h"
#include "support/StoreTestSupport.h"
#include "support/TestEnv.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

using namespace parcelo;
using namespace parcelo::test;

namespace {

QString Corpus(const char* relative) {
    return corpusDir() + QLatin1Char('/') + relative;
}

struct TreeRow {
    StoreFolderId id;
    const char* path;
    int messages;
    int unread;
    int subFolders;
};

void ExpectTree(const QString& store, std::initializer_list<TreeRow> rows) {
    SCOPED_TRACE(store.toStdString());
    auto opened = OpenStore(store);
    ASSERT_TRUE(opened);
    const auto folders = WalkFolders(*opened);
    ASSERT_EQ(folders.size(), rows.size());
    size_t i = 0;
    for (const TreeRow& row : rows) {
        const FolderLine& line = folders[i++];
        EXPECT_EQ(line.id, row.id) << row.path;
        EXPECT_EQ(line.path.toStdString(), row.path);
        EXPECT_EQ(line.props.cMessage, row.messages) << row.path;
        EXPECT_EQ(line.props.cUnread, row.unread) << row.path;
        EXPECT_EQ(line.props.cSubFolders, row.subFolders) << row.path;
    }
}

} // namespace

TEST(MaildirStore, FolderTreesOfRealMaildirs) {
    PARCELO_REQUIRE_CORPUS();
    // Messages lying beside cur/ and new/ are not part of a Maildir.
    ExpectTree(Corpus("notmuch/default"), {{1, "Inbox", 26, 26, 0},
                                           {2, "bar", 4, 4, 1},
                                           {3, "bar/baz", 4, 4, 0},
                                           {4, "foo", 5, 5, 1},
                                           {5, "foo/baz", 4, 4, 0}});
    // "!2," info parts; tmp/ is not read.
    ExpectTree(Corpus("mu/testdir"), {{1, "Inbox", 19, 6, 0}});
    // Only nested Maildirs, one without new/.
    ExpectTree(Corpus("mu/testdir2"),
               {{1, "Foo", 3, 3, 0}, {2, "bar", 8, 8, 0}, {3, "wom_bat", 3, 3, 0}});
    // Maildir++ names with spaces, ";2," info parts, trashed messages left out.
    ExpectTree(Corpus("stalwart-mail-parser/maildir"), {{1, "Inbox", 1, 1, 0},
                                                        {2, "My Folder", 1, 1, 1},
                                                        {3, "My Folder/Nested Folder", 2, 2, 0}});
}

TEST(MaildirStore, FlagsFromInfoPartAndFolder) {
    PARCELO_REQUIRE_CORPUS();
    auto store = OpenStore(Corpus("stalwart-mail-parser/maildir"));
    auto nested = OpenFolderByPath(*store, QStringLiteral("My Folder/Nested Folder"));
    ASSERT_TRUE(nested);
    const auto messages = EnumerateMessages(*nested);
    ASSERT_EQ(messages.size(), 2u);
    for (const MESSAGEPROPS& props : messages)
        EXPECT_EQ(props.dwState, MSG_UNREAD | MSG_FLAGGED); // new/ with F, and cur/ with F

    auto mu = OpenStore(Corpus("mu/testdir"));
    auto inbox = OpenFolderByPath(*mu, QStringLiteral("Inbox"));
    ASSERT_TRUE(inbox);
    int flagged = 0, unread = 0;
    for (const MESSAGEPROPS& props : EnumerateMessages(*inbox)) {
        flagged += (props.dwState & MSG_FLAGGED) != 0;
        unread += (props.dwState & MSG_UNREAD) != 0;
    }
    EXPECT_EQ(flagged, 1);
    EXPECT_EQ(unread, 6);
}

TEST(MaildirStore, RealMessagesStreamExactCrlfSourcesAndProperties) {
    PARCELO_REQUIRE_CORPUS();
    auto store = OpenStore(Corpus("notmuch/lkml"));
    auto inbox = OpenFolderByPath(*store, QStringLiteral("Inbox"));
    ASSERT_TRUE(inbox);
    const auto messages = EnumerateMessages(*inbox);
    ASSERT_EQ(messages.size(), 210u);
    const QStringList names = QDir(Corpus("notmuch/lkml/cur")).entryList(QDir::Files, QDir::Name);
    for (size_t i = 0; i < messages.size(); ++i) {
        bool ok = false;
        const QByteArray source = ReadSource(*inbox, messages[i].dwMessageId, &ok);
        ASSERT_TRUE(ok);
        EXPECT_EQ(quint64(source.size()), messages[i].cbMessage);
        // In file-name order, each the file's bytes with CR LF line ends.
        EXPECT_TRUE(source == ToCrlf(readFile(Corpus("notmuch/lkml/cur/") + names[int(i)]))) << i;
    }
    const MESSAGEPROPS& first = messages[0];
    EXPECT_EQ(first.pszDisplayFrom, QByteArray("Stefan Schmidt"));
    EXPECT_EQ(first.pszDisplayTo, QByteArray("notmuch@notmuchmail.org"));
    EXPECT_EQ(first.pszNormalSubject,
              QByteArray("[notmuch] [PATCH 2/2] notmuch-new: Tag mails not as unread when "
                         "the\tseen flag in the maildir is set."));
    EXPECT_EQ(first.ftSent, QDateTime(QDate(2009, 11, 22), QTime(0, 11, 1), Qt::UTC));
    EXPECT_EQ(first.ftReceived,
              QFileInfo(Corpus("notmuch/lkml/cur/") + names[0]).lastModified().toUTC());
    EXPECT_EQ(first.dwState, MSG_UNREAD);
}

TEST(MaildirStore, EncodedWordsInRealHeaders) {
    PARCELO_REQUIRE_CORPUS();
    auto store = OpenStore(Corpus("mu/testdir"));
    auto inbox = OpenFolderByPath(*store, QStringLiteral("Inbox"));
    ASSERT_TRUE(inbox);
    std::map<QByteArray, MESSAGEPROPS> bySubject;
    for (const MESSAGEPROPS& props : EnumerateMessages(*inbox))
        bySubject[props.pszNormalSubject] = props;
    const auto motorhead = bySubject.find(QByteArray("Mot\xC3\xB6rhead"));
    ASSERT_NE(motorhead, bySubject.end());
    EXPECT_EQ(motorhead->second.pszDisplayFrom, QByteArray("M\xC3\xBC"));
    EXPECT_EQ(motorhead->second.pszDisplayTo, QByteArray("Helmut Kr\xC3\xB6ger"));
    EXPECT_NE(bySubject.find(QByteArray("Greetings from Lothl\xC3\xB3rien")), bySubject.end());
}

TEST(MaildirStore, ModifiedUtf7NamesAndFileNameInfo) {
    EXPECT_EQ(DecodeModifiedUtf7(QStringLiteral("Entw&APw-rfe")), QStringLiteral("Entwürfe"));
    EXPECT_EQ(DecodeModifiedUtf7(QStringLiteral("A&-B")), QStringLiteral("A&B"));
    EXPECT_EQ(DecodeModifiedUtf7(QStringLiteral("&ZeVnLIqe-")), QStringLiteral("日本語"));
    EXPECT_EQ(DecodeModifiedUtf7(QStringLiteral("bad&")), QStringLiteral("bad&"));

    const MaildirFileName name = MaildirFileName::parse(QStringLiteral("12.x:2,3!2,FT;2,RF"));
    EXPECT_EQ(name.unique, QStringLiteral("12.x:2,3!2,FT"));
    EXPECT_EQ(name.flags, QStringLiteral("RF"));
    EXPECT_EQ(name.withFlag(QLatin1Char('S')), QStringLiteral("12.x:2,3!2,FT;2,FRS"));
    EXPECT_EQ(MaildirFileName::parse(QStringLiteral("plain")).withFlag(QLatin1Char('S')),
              QStringLiteral("plain:2,S"));

    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral(".Entw&APw-rfe.Sub/cur")));
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral(".Entw&APw-rfe/cur")));
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral(".Only.Child/cur")));
    ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral(".Only.Child/cur/1:2,S")), "S: x\n\nb\n"));
    ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral(".Only.Child/cur/.hidden")), "S: x\n\n"));
    ExpectTree(dir.path(), {{1, "Entwürfe", 0, 0, 1},
                            {2, "Entwürfe/Sub", 0, 0, 0},
                            {3, "Only", 0, 0, 1},
                            {4, "Only/Child", 1, 0, 0}});
}

TEST(MaildirStore, ReceivedFallsBackWhenTheFileTimeIsUnusable) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("cur")));
    const QString file = dir.filePath(QStringLiteral("cur/1:2,S"));
    ASSERT_TRUE(writeFile(file, "Received: from a by b; Tue, 3 Mar 2009 19:40:00 +0100\n"
                                "Date: Tue, 3 Mar 2009 19:41:00 +0100\n\nbody\n"));
    struct utimbuf times = {0, 0};
    ASSERT_EQ(utime(QFile::encodeName(file).constData(), &times), 0);
    auto store = OpenStore(dir.path());
    auto inbox = OpenFolderByPath(*store, QStringLiteral("Inbox"));
    ASSERT_TRUE(inbox);
    const auto messages = EnumerateMessages(*inbox);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].ftReceived, QDateTime(QDate(2009, 3, 3), QTime(18, 40), Qt::UTC));
    EXPECT_EQ(messages[0].dwState, 0u);
}

TEST(MaildirStore, AFileChangedAfterEnumerationFailsTheRead) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("new/1.host"));
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("cur")));
    ASSERT_TRUE(writeFile(file, "Subject: x\n\nbody\n"));
    auto store = OpenStore(dir.path());
    auto inbox = OpenFolderByPath(*store, QStringLiteral("Inbox"));
    ASSERT_TRUE(inbox);
    const auto messages = EnumerateMessages(*inbox);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].cbMessage, 20u);
    ASSERT_TRUE(writeFile(file, "Subject: x\n\nbody, now longer\n"));
    bool ok = true;
    ReadSource(*inbox, 0, &ok);
    EXPECT_FALSE(ok);
    ASSERT_TRUE(QFile::remove(file));
    std::unique_ptr<IStoreStream> stream;
    EXPECT_LT(inbox->OpenMessage(0, &stream), 0);
}

TEST(MaildirStore, AFileRewrittenToTheSameSizeAfterEnumerationFailsTheRead) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("cur/1.host:2,S"));
    ASSERT_TRUE(writeFile(file, "Subject: x\n\nfirst\n"));
    auto inbox = OpenFolderByPath(*OpenStore(dir.path()), QStringLiteral("Inbox"));
    ASSERT_TRUE(inbox);
    ASSERT_EQ(EnumerateMessages(*inbox).size(), 1u);
    // What was enumerated is no longer there: exporting it, then deleting the file, would lose
    // the new text.
    ASSERT_TRUE(writeFile(file, "Subject: x\n\nlater\n"));
    struct utimbuf later {};
    later.actime = later.modtime = QDateTime::currentSecsSinceEpoch() + 60;
    ASSERT_EQ(::utime(QFile::encodeName(file).constData(), &later), 0);
    bool ok = true;
    ReadSource(*inbox, 0, &ok);
    EXPECT_FALSE(ok);
}

TEST(MaildirStore, MessagesSmallAndBigReadWithTheirLineEndsMadeCrLf) {
    QTemporaryDir dir;
    QByteArray big = "Subject: big\n\n";
    const QByteArray line = QByteArray(990, 'x') + "\n";
    while (big.size() < 9 << 20)
        big += line;
    big += "a last line without its end";
    const QByteArray small = "Subject: small\r\n\nmixed\nends\r\n";
    ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral("cur/1.host:2,S")), big));
    ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral("new/2.host")), small));
    auto inbox = OpenFolderByPath(*OpenStore(dir.path()), QStringLiteral("Inbox"));
    ASSERT_TRUE(inbox);
    const auto messages = EnumerateMessages(*inbox);
    ASSERT_EQ(messages.size(), 2u);
    const QByteArray expected[] = {QByteArray(big).replace("\n", "\r\n"),
                                   "Subject: small\r\n\r\nmixed\r\nends\r\n"};
    for (size_t i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(messages[i].cbMessage, quint64(expected[i].size()));
        bool ok = false;
        const QByteArray read = ReadSource(*inbox, messages[i].dwMessageId, &ok);
        EXPECT_TRUE(ok);
        EXPECT_TRUE(read == expected[i]) << read.size() << " bytes for " << expected[i].size();
    }
    EXPECT_EQ(messages[0].pszNormalSubject, QByteArray("big"));
    EXPECT_EQ(messages[1].pszNormalSubject, QByteArray("small"));
}
