// SPDX-License-Identifier: GPL-3.0-or-later
// A message read on its own, from where it starts, is the message the whole file's reading
// found: same offsets, sizes and flags, its bytes kept whole, and streamed from memory exactly
// as from the file.
#include "store/mbox/MboxReader.h"

#include "store/CrlfFileStream.h"
#include "store/CrlfMemoryStream.h"
#include "store/mbox/MboxScanner.h"
#include "support/StoreTestSupport.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace parcelo;
using namespace parcelo::test;

namespace {

QByteArray ReadAll(IStoreStream& stream, std::uint32_t chunk, bool* ok) {
    QByteArray out(qsizetype(chunk), '\0');
    QByteArray all;
    std::uint32_t got = 0;
    do {
        *ok = stream.Read(out.data(), chunk, &got) == S_OK;
        all.append(out.constData(), got);
    } while (*ok && got > 0);
    return all;
}

// Lines of every kind the reader tells apart, with a message that spans buffer fills.
QByteArray Mailbox() {
    QByteArray spanning;
    for (int i = 0; i < 4000; ++i)
        spanning += "line " + QByteArray::number(i) + " of a message longer than one read\n";
    return "\xEF\xBB\xBF"
           "From a Mon Jan  5 10:00:00 2009\r\nSubject: crlf\r\nStatus: RO\r\n\r\nbody\r\n\r\n"
           "From b Mon Jan  5 10:00:00 2009\nSubject: quoted\n\n>From here\n>>From there\n\n"
           "From c Mon Jan  5 10:00:00 2009\nX-Mozilla-Status: 0008\n\ngone\n\n"
           "From d Mon Jan  5 10:00:00 2009\nSubject: spans\n\n" +
           spanning + "\nFrom e Mon Jan  5 10:00:00 2009\nSubject: long line\n\n" +
           QByteArray(200000, 'x') + "\n\n" +
           "From f Mon Jan  5 10:00:00 2009\nX-Status: F\nSubject: last\n\nno line end";
}

bool SameMessage(const MboxMessage& a, const MboxMessage& b) {
    return a.separatorStart == b.separatorStart && a.contentStart == b.contentStart &&
           a.headerEnd == b.headerEnd && a.contentEnd == b.contentEnd &&
           a.regionEnd == b.regionEnd && a.cbMessage == b.cbMessage &&
           a.headerLineEndMissing == b.headerLineEndMissing && a.lineEnd == b.lineEnd &&
           a.mozStatusOffset == b.mozStatusOffset && a.mozStatus == b.mozStatus &&
           a.statusValueOffset == b.statusValueOffset && a.read == b.read &&
           a.flagged == b.flagged && a.expunged == b.expunged;
}

} // namespace

TEST(MboxReader, AMessageReadOnItsOwnIsTheOneTheWholeFileHas) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Box"));
    const QByteArray bytes = Mailbox();
    ASSERT_TRUE(writeFile(path, bytes));
    const MboxScan scan = ScanMbox(path);
    ASSERT_TRUE(scan.ok) << scan.error.toStdString();
    ASSERT_EQ(scan.messages.size(), 6u);
    EXPECT_EQ(scan.prefixLength, 3);
    EXPECT_TRUE(scan.messages[0].read && scan.messages[2].expunged && scan.messages[5].flagged);

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    for (const MboxMessage& whole : scan.messages) {
        MboxReader reader(file.handle(), whole.separatorStart, bytes.size(),
                          MboxReader::Options{true, 1 << 20});
        MboxMessage alone;
        ASSERT_TRUE(reader.next(&alone));
        EXPECT_TRUE(SameMessage(alone, whole)) << whole.separatorStart;
        ASSERT_TRUE(reader.regionKept());
        EXPECT_EQ(reader.region(),
                  bytes.mid(whole.separatorStart, whole.regionEnd - whole.separatorStart));
        EXPECT_TRUE(reader.separatorLine().startsWith("From "));
        EXPECT_TRUE(reader.header().startsWith(bytes.mid(whole.contentStart, 8)));

        CrlfFileStream fromFile(path, whole.contentStart, whole.contentEnd, whole.cbMessage, true);
        ASSERT_TRUE(fromFile.open());
        bool ok = false;
        const QByteArray expected = ReadAll(fromFile, 4095, &ok);
        ASSERT_TRUE(ok);
        EXPECT_EQ(quint64(expected.size()), whole.cbMessage);
        for (std::uint32_t chunk : {1u, 300u, std::uint32_t(whole.cbMessage + 1)}) {
            const qint64 base = whole.separatorStart;
            CrlfMemoryStream fromMemory(reader.region(), whole.contentStart - base,
                                        whole.contentEnd - base, whole.cbMessage, true, path);
            EXPECT_EQ(ReadAll(fromMemory, chunk, &ok), expected) << chunk;
            EXPECT_TRUE(ok);
        }
    }
}

// A message bigger than what enumeration keeps is read from the file; a message opened out
// of order, or changed before it was enumerated, is found by reading on.
TEST(MboxReader, FolderReadsMessagesInAnyOrderAndBeyondWhatItKeeps) {
    QTemporaryDir dir;
    const QByteArray big(9 << 20, 'b');
    ASSERT_TRUE(
        writeFile(dir.filePath(QStringLiteral("Box")), "From a\nSubject: big\n\n" + big +
                                                           "\n\nFrom b\nSubject: small\n\nsmall\n"
                                                           "\nFrom c\nSubject: third\n\nthird\n"));
    auto store = OpenStore(dir.path());
    ASSERT_TRUE(store);
    auto folder = OpenFolderByPath(*store, QStringLiteral("Box"));
    ASSERT_TRUE(folder);
    bool ok = false;
    EXPECT_EQ(ReadSource(*folder, 2, &ok), QByteArray("Subject: third\r\n\r\nthird\r\n"));
    EXPECT_TRUE(ok);
    ASSERT_EQ(EnumerateMessages(*folder).size(), 3u);
    EXPECT_EQ(ReadSource(*folder, 0, &ok), "Subject: big\r\n\r\n" + big + "\r\n");
    EXPECT_TRUE(ok);
    EXPECT_EQ(ReadSource(*folder, 1, &ok), QByteArray("Subject: small\r\n\r\nsmall\r\n"));
    EXPECT_TRUE(ok);
}

// Counting a big mailbox as two halves read at once finds what one reading finds, wherever
// the middle falls: between messages, in a body, in a long line, in a header.
TEST(MboxReader, CountingInTwoHalvesMatchesOneReading) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Box"));
    const QByteArray base = Mailbox();
    for (int lead = 0; lead < 40; ++lead) {
        // Messages before the base one move the middle through it; some are read, some not.
        QByteArray bytes = "From z Mon Jan  5 10:00:00 2009\r\nStatus: RO\r\n\r\nfirst\r\n\r\n";
        for (int i = 0; i < lead; ++i)
            bytes += "From y Mon Jan  5 10:00:00 2009\n" +
                     QByteArray(i % 3 == 0 ? "Status: R\n" : "Subject: s\n") + "\n" +
                     QByteArray(i * 997 % 20000, 'p') + "\nFrom in a body\n\n";
        bytes += base.mid(3); // no byte-order mark in the middle
        ASSERT_TRUE(writeFile(path, bytes));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        MboxScan whole;
        MboxCounts once;
        ASSERT_TRUE(CountMboxMessages(file.handle(), &whole, &once, bytes.size() + 1));
        MboxScan split;
        MboxCounts halves;
        ASSERT_TRUE(CountMboxMessages(file.handle(), &split, &halves, 1)) << lead;
        EXPECT_EQ(halves.messages, once.messages) << lead;
        EXPECT_EQ(halves.unread, once.unread) << lead;
        // And both are what the index of the file has, expunged messages left out.
        const MboxScan scan = ScanMbox(path);
        ASSERT_TRUE(scan.ok);
        int indexed = 0;
        int unread = 0;
        for (const MboxMessage& message : scan.messages) {
            indexed += !message.expunged;
            unread += !message.expunged && !message.read;
        }
        EXPECT_EQ(once.messages, indexed) << lead;
        EXPECT_EQ(once.unread, unread) << lead;
    }
}
