// SPDX-License-Identifier: GPL-3.0-or-later
// Mailboxes as a mail server writes them: body lines starting "From " left as they are, each
// message's body length in its Content-Length field, and the folder's internal-data message
// first. data/server.mbox was written by the server itself (see data/README.md); the bodies
// expected of it are those of the messages that were handed to it.
#include "store/mbox/MboxScanner.h"
#include "support/StoreTestSupport.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

using namespace parcelo;
using namespace parcelo::test;

namespace {

QByteArray ServerMailbox() {
    return readFile(QStringLiteral(PARCELO_SOURCE_DIR "/tests/store/data/server.mbox"));
}

// The messages of server.mbox after its internal-data message, in order: the subject and the
// body that was delivered (its line ends made CR LF; the server ended the last one's line).
struct Delivered {
    const char* subject;
    QByteArray body;
};
const Delivered kDelivered[] = {
    {"first", "From the desk of the director: hello.\r\n\r\nFrom here on, lines start with "
              "From.\r\n>From an already quoted line.\r\nlast line\r\n"},
    {"crlf", "line one\r\n\r\nFrom crlf land\r\n"},
    {"no final newline", "body without end\r\n"},
};

QByteArray BodyOf(const QByteArray& source) {
    if (source.startsWith("\r\n"))
        return source.mid(2); // no header
    const qsizetype end = source.indexOf("\r\n\r\n");
    return end < 0 ? QByteArray() : source.mid(end + 4);
}

struct Folder {
    int counted = -1; // the tree's count
    std::vector<MESSAGEPROPS> props;
    std::vector<QByteArray> sources;
};

// The mailbox Box of the store in dir, as the tree counts it and enumeration reads it.
Folder ReadBox(const QString& dir) {
    Folder folder;
    auto store = OpenStore(dir);
    EXPECT_TRUE(store);
    if (!store)
        return folder;
    for (const FolderLine& line : WalkFolders(*store))
        if (line.path == QStringLiteral("Box"))
            folder.counted = line.props.cMessage;
    auto box = OpenFolderByPath(*store, QStringLiteral("Box"));
    EXPECT_TRUE(box);
    if (!box)
        return folder;
    folder.props = EnumerateMessages(*box);
    for (const MESSAGEPROPS& props : folder.props) {
        bool ok = false;
        folder.sources.push_back(ReadSource(*box, props.dwMessageId, &ok));
        EXPECT_TRUE(ok) << props.pszNormalSubject.toStdString();
    }
    EXPECT_EQ(box->Close(), S_OK) << box->LastError().toStdString();
    return folder;
}

// Runs change on the open folder Box, then closes it, which applies the change.
void ChangeBox(const QString& dir, const std::function<void(IStoreFolder&)>& change) {
    auto store = OpenStore(dir);
    ASSERT_TRUE(store);
    auto box = OpenFolderByPath(*store, QStringLiteral("Box"));
    ASSERT_TRUE(box);
    EnumerateMessages(*box);
    change(*box);
    EXPECT_EQ(box->Close(), S_OK) << box->LastError().toStdString();
}

MESSAGEIDLIST AllOf(const Folder& folder) {
    MESSAGEIDLIST ids;
    for (const MESSAGEPROPS& props : folder.props)
        ids.ids.push_back(props.dwMessageId);
    return ids;
}

// The server's messages as delivered, nothing more.
void ExpectDelivered(const Folder& folder) {
    EXPECT_EQ(folder.counted, 3);
    ASSERT_EQ(folder.props.size(), std::size(kDelivered));
    for (size_t i = 0; i < folder.props.size(); ++i) {
        EXPECT_EQ(folder.props[i].pszNormalSubject, kDelivered[i].subject);
        EXPECT_EQ(BodyOf(folder.sources[i]), kDelivered[i].body) << kDelivered[i].subject;
        EXPECT_EQ(folder.props[i].cbMessage, quint64(folder.sources[i].size()));
    }
}

// Where the server's separator line of message i (0: the internal-data one) starts.
qsizetype ServerSeparator(const QByteArray& mailbox, int i) {
    if (i == 0)
        return 0;
    qsizetype at = -1;
    for (int n = 0; n < i; ++n)
        at = mailbox.indexOf("\nFrom root@vm  ", at + 1);
    return at < 0 ? -1 : at + 1;
}

} // namespace

TEST(ServerMbox, EveryMessageReadsAsDeliveredAndTheInternalDataIsNoMail) {
    QTemporaryDir dir;
    ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral("Box")), ServerMailbox()));
    ExpectDelivered(ReadBox(dir.path()));
}

// Marking read and deleting rewrite the file: every message kept is copied as it was, the
// read mark aside, and the internal-data message stays first, byte for byte, whatever is
// deleted.
TEST(ServerMbox, ChangesKeepTheMessagesAndTheInternalData) {
    const QByteArray original = ServerMailbox();
    const qsizetype second = ServerSeparator(original, 2);
    const qsizetype third = ServerSeparator(original, 3);
    ASSERT_GT(second, 0);
    ASSERT_GT(third, second);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Box"));
    ASSERT_TRUE(writeFile(path, original));

    ChangeBox(dir.path(), [](IStoreFolder& box) {
        MESSAGEIDLIST crlf;
        crlf.ids = {1};
        EXPECT_EQ(box.DeleteMessages(crlf), S_OK);
        EXPECT_EQ(box.Compact(), S_OK) << box.LastError().toStdString();
    });
    EXPECT_EQ(readFile(path), original.left(second) + original.mid(third));

    Folder kept = ReadBox(dir.path());
    EXPECT_EQ(kept.counted, 2);
    ASSERT_EQ(kept.props.size(), 2u);
    EXPECT_EQ(BodyOf(kept.sources[0]), kDelivered[0].body);
    EXPECT_EQ(BodyOf(kept.sources[1]), kDelivered[2].body);

    ChangeBox(dir.path(), [&kept](IStoreFolder& box) {
        EXPECT_EQ(box.MarkMessagesAsRead(true, AllOf(kept)), S_OK);
    });
    const Folder read = ReadBox(dir.path());
    ASSERT_EQ(read.props.size(), 2u);
    EXPECT_EQ(BodyOf(read.sources[0]), kDelivered[0].body);
    EXPECT_EQ(BodyOf(read.sources[1]), kDelivered[2].body);
    EXPECT_FALSE(read.props[0].dwState & MSG_UNREAD);
    EXPECT_FALSE(read.props[1].dwState & MSG_UNREAD);
    EXPECT_TRUE(readFile(path).startsWith(original.left(ServerSeparator(original, 1))));

    ChangeBox(dir.path(), [&read](IStoreFolder& box) {
        EXPECT_EQ(box.DeleteMessages(AllOf(read)), S_OK);
        EXPECT_EQ(box.Compact(), S_OK) << box.LastError().toStdString();
    });
    EXPECT_EQ(readFile(path), original.left(ServerSeparator(original, 1)));
    const Folder empty = ReadBox(dir.path());
    EXPECT_EQ(empty.counted, 0);
    EXPECT_TRUE(empty.props.empty());
}

// Counting a big mailbox as two halves read at once finds what one reading finds, wherever
// the middle falls in the server's messages, whose bodies hold lines a separator would start.
TEST(ServerMbox, CountingInTwoHalvesNeverStartsInsideABody) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Box"));
    const QByteArray server = ServerMailbox();
    for (int lead = 0; lead < 60; ++lead) {
        // Messages before and after the server's move the middle through them.
        QByteArray bytes;
        const int before = lead % 2 == 0 ? 0 : 1;
        if (before)
            bytes += "From x Mon Jan  5 10:00:00 2009\nSubject: before\n\n" +
                     QByteArray(lead * 23, 'b') + "\n\n";
        bytes += server;
        bytes += "From y Mon Jan  5 10:00:00 2009\nSubject: after\n\n" +
                 QByteArray(lead * 29, 'a') + "\n";
        ASSERT_TRUE(writeFile(path, bytes));
        // The internal data is the server's own only when it comes first.
        const int expected = before ? 1 + 4 + 1 : 3 + 1;
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        MboxScan whole;
        MboxCounts once;
        ASSERT_TRUE(CountMboxMessages(file.handle(), &whole, &once, bytes.size() + 1));
        EXPECT_EQ(once.messages, expected) << lead;
        MboxScan split;
        MboxCounts halves;
        ASSERT_TRUE(CountMboxMessages(file.handle(), &split, &halves, 1)) << lead;
        EXPECT_EQ(halves.messages, expected) << lead;
        EXPECT_EQ(halves.unread, once.unread) << lead;
    }
}

namespace {

// A mailbox whose first message has a Content-Length field, and the sources a reader must
// make of it.
struct LengthCase {
    const char* name;
    QByteArray mailbox;
    std::vector<QByteArray> sources; // as streamed: CR LF line ends
};

// The body of the first message: a line a separator would start, and a quoted one.
const QByteArray kBody = "text\n\nFrom inside the body\n>From quoted\n";
const QByteArray kRest = "From b Mon Jan  5 10:00:00 2009\nSubject: next\n\nnext\n";

QByteArray First(const QByteArray& length, const QByteArray& body = kBody) {
    return "From a Mon Jan  5 10:00:00 2009\nSubject: first\nContent-Length: " + length + "\n\n" +
           body;
}

QByteArray Header(const QByteArray& length) {
    return "Subject: first\r\nContent-Length: " + length + "\r\n\r\n";
}

std::vector<LengthCase> LengthCases() {
    const QByteArray size = QByteArray::number(kBody.size());
    const QByteArray asWritten = "text\r\n\r\nFrom inside the body\r\n>From quoted\r\n";
    const QByteArray next = "Subject: next\r\n\r\nnext\r\n";
    // Read by separators: the body's "From " line starts a message, whose header is the
    // quoted line, unquoted.
    const auto split = [](const QByteArray& length) {
        return std::vector<QByteArray>{Header(length) + "text\r\n", "From quoted\r\n"};
    };
    const auto andNext = [&next](std::vector<QByteArray> sources) {
        sources.push_back(next);
        return sources;
    };
    const QByteArray longer = QByteArray::number(kBody.size() + 1);
    const QByteArray shorter = QByteArray::number(kBody.size() - 1);
    const QByteArray beyond = QByteArray::number(kBody.size() + 100);
    const QByteArray crlfBody = "text\r\n\r\nFrom inside\r\nmore\r\n";
    const QByteArray crlfSize = QByteArray::number(crlfBody.size());
    const QByteArray lfSize = QByteArray::number(crlfBody.size() - 4);
    const QByteArray crlfFirst = "From a Mon Jan  5 10:00:00 2009\r\nContent-Length: ";
    return {
        {"ThenEmptyLineAndSeparator", First(size) + "\n" + kRest, {Header(size) + asWritten, next}},
        {"EndsTheFile", First(size), {Header(size) + asWritten}},
        {"ThenEmptyLineEndsTheFile", First(size) + "\n", {Header(size) + asWritten}},
        {"TakesInTheEmptyLine", First(longer) + "\n" + kRest, andNext(split(longer))},
        {"Short", First(shorter) + "\n" + kRest, andNext(split(shorter))},
        {"BeyondTheFile", First(beyond) + "\n", split(beyond)},
        {"NotANumber", First("4x") + "\n" + kRest, andNext(split("4x"))},
        {"Empty", First("") + "\n" + kRest, andNext(split(""))},
        {"EndsInsideALine",
         First(shorter, kBody.chopped(1)) + "\n" + kRest,
         {Header(shorter) + "text\r\n",
          "From quoted\r\nFrom b Mon Jan  5 10:00:00 2009\r\n" + next}},
        {"CountsCarriageReturns",
         crlfFirst + crlfSize + "\r\n\r\n" + crlfBody + "\r\n" + kRest,
         {"Content-Length: " + crlfSize + "\r\n\r\n" + crlfBody, next}},
        {"CountsOnlyLineFeedsInACrlfFile",
         crlfFirst + lfSize + "\r\n\r\n" + crlfBody + "\r\n" + kRest,
         {"Content-Length: " + lfSize + "\r\n\r\ntext\r\n", "more\r\n", next}},
        {"EmptyBody", First("0", "") + "\n" + kRest, {Header("0"), next}},
    };
}

} // namespace

// A Content-Length is the message's end only where the file ends there or an empty line and a
// separator line follow; that message's lines are then taken as written. Any other length is
// ignored.
TEST(ServerMbox, ContentLengthEndsAMessageOnlyWhereTheFileSaysSo) {
    for (const LengthCase& c : LengthCases()) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral("Box")), c.mailbox));
        const Folder folder = ReadBox(dir.path());
        EXPECT_EQ(folder.counted, int(c.sources.size()));
        ASSERT_EQ(folder.sources.size(), c.sources.size());
        for (size_t i = 0; i < c.sources.size(); ++i) {
            EXPECT_EQ(folder.sources[i], c.sources[i]) << i;
            EXPECT_EQ(folder.props[i].cbMessage, quint64(c.sources[i].size())) << i;
        }
    }
}

namespace {

struct InternalCase {
    const char* name;
    QByteArray mailbox;
    bool serversOwn; // the first message is the server's internal data
};

const QByteArray kInternal = "From MAILER_DAEMON  Mon Jan  5 10:00:00 2009\n"
                             "From: Mail System Internal Data <MAILER-DAEMON@host>\n"
                             "Subject: DON'T DELETE THIS MESSAGE -- FOLDER INTERNAL DATA\n";
const QByteArray kInternalBody = "Status: RO\n\nThis text is part of the internal format of your "
                                 "mail folder.\n\n";
const QByteArray kMail = "From c Mon Jan  5 10:00:00 2009\nSubject: mail\n\nmail\n";

std::vector<InternalCase> InternalCases() {
    return {
        {"SubjectAndXImap", kInternal + "X-IMAP: 1234 0000000002\n" + kInternalBody + kMail, true},
        {"SubjectAndXImapBase", kInternal + "X-IMAPbase: 1234 2\n" + kInternalBody + kMail, true},
        // Deleted in the mail client, not yet compacted: still the server's.
        {"MarkedDeleted",
         kInternal + "X-IMAP: 1234 2\nX-Mozilla-Status: 0008\n" + kInternalBody + kMail, true},
        {"AfterAByteOrderMark",
         "\xEF\xBB\xBF" + kInternal + "X-IMAP: 1234 2\n" + kInternalBody + kMail, true},
        {"SubjectAlone", kInternal + kInternalBody + kMail, false},
        {"XImapBaseAlone",
         "From a Mon Jan  5 10:00:00 2009\nSubject: real\nX-IMAPbase: 1234 2\n\nreal\n\n" + kMail,
         false},
        {"SecondMessage", kMail + "\n" + kInternal + "X-IMAP: 1234 2\n" + kInternalBody + kMail,
         false},
    };
}

} // namespace

// Only the first message of a file, and only with the subject and one of the server's fields,
// is the server's internal data: not counted, not exported, and kept at the front when
// everything else is deleted. Anything less is mail.
TEST(ServerMbox, OnlyTheFirstMessageWithBothMarksIsTheServersInternalData) {
    for (const InternalCase& c : InternalCases()) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Box"));
        ASSERT_TRUE(writeFile(path, c.mailbox));
        const int messages = int(c.mailbox.count("\nSubject: "));
        const Folder folder = ReadBox(dir.path());
        const int mail = c.serversOwn ? messages - 1 : messages;
        EXPECT_EQ(folder.counted, mail);
        ASSERT_EQ(int(folder.props.size()), mail);
        ChangeBox(dir.path(), [&folder](IStoreFolder& box) {
            EXPECT_EQ(box.DeleteMessages(AllOf(folder)), S_OK);
            EXPECT_EQ(box.Compact(), S_OK) << box.LastError().toStdString();
        });
        const QByteArray left = readFile(path);
        if (c.serversOwn)
            EXPECT_EQ(left, c.mailbox.left(c.mailbox.indexOf(kMail)));
        else
            EXPECT_TRUE(left.isEmpty() || left == "\xEF\xBB\xBF") << left.toStdString();
    }
}

// A length that ends nothing now, but would end its message where the next one starts once a
// message between is gone, stops the change: that message would take in the ones after it.
// Where the field that marking read adds to that next one moves its start, the length ends
// nothing after the change either, which then goes ahead.
TEST(ServerMbox, ALengthThatWouldTakeInTheNextMessagesStopsTheChange) {
    const QByteArray third = "From c Mon Jan  5 10:00:00 2009\n\nbodyC\n";
    const QByteArray mailbox = "From a Mon Jan  5 10:00:00 2009\nContent-Length: " +
                               QByteArray::number(QByteArray("bodyA\n\n").size() + third.size()) +
                               "\n\nbodyA\n\nFrom b Mon Jan  5 10:00:00 2009\n\nbodyBB\n\n" +
                               third + "\nFrom d Mon Jan  5 10:00:00 2009\n\nbodyD\n";
    for (const bool markThirdRead : {false, true}) {
        SCOPED_TRACE(markThirdRead);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Box"));
        ASSERT_TRUE(writeFile(path, mailbox));
        ASSERT_EQ(ReadBox(dir.path()).props.size(), 4u);
        auto store = OpenStore(dir.path());
        ASSERT_TRUE(store);
        auto box = OpenFolderByPath(*store, QStringLiteral("Box"));
        ASSERT_TRUE(box);
        EnumerateMessages(*box);
        MESSAGEIDLIST ids;
        ids.ids = {1};
        EXPECT_EQ(box->DeleteMessages(ids), S_OK);
        ids.ids = {2};
        if (markThirdRead) {
            EXPECT_EQ(box->MarkMessagesAsRead(true, ids), S_OK);
        }
        const HRESULT hr = box->Compact();
        const QString error = box->LastError();
        box->Close();
        const Folder after = ReadBox(dir.path());
        std::vector<QByteArray> bodies;
        for (const QByteArray& source : after.sources)
            bodies.push_back(BodyOf(source));
        if (markThirdRead) {
            EXPECT_EQ(hr, S_OK) << error.toStdString();
            EXPECT_EQ(bodies, (std::vector<QByteArray>{"bodyA\r\n", "bodyC\r\n", "bodyD\r\n"}));
        } else {
            EXPECT_NE(hr, S_OK);
            EXPECT_TRUE(error.contains("Content-Length")) << error.toStdString();
            EXPECT_EQ(readFile(path), mailbox);
            EXPECT_EQ(bodies.size(), 4u);
        }
    }
}
