// SPDX-License-Identifier: GPL-3.0-or-later
// The offsets of an mbox's messages, of which only a few blocks stay in memory.
#include "store/mbox/MessageStarts.h"

#include "store/mbox/MboxFolder.h"
#include "support/StoreTestSupport.h"
#include "support/TestEnv.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <set>
#include <vector>

using namespace parcelo;
using namespace parcelo::test;

namespace {

class ScopedTmpDir {
public:
    explicit ScopedTmpDir(const QByteArray& dir) : previous_(qgetenv("TMPDIR")) {
        qputenv("TMPDIR", dir);
    }
    ~ScopedTmpDir() { qputenv("TMPDIR", previous_); }

private:
    QByteArray previous_;
};

} // namespace

TEST(MessageStarts, EveryEntryReadsBackAsSetWithOrWithoutATemporaryFolder) {
    QTemporaryDir tmp;
    for (const bool usable : {true, false}) {
        SCOPED_TRACE(usable ? "temporary folder" : "no temporary folder");
        ScopedTmpDir scoped(usable ? tmp.path().toLocal8Bit() : QByteArray("/nonexistent/tmp"));
        MessageStarts starts;
        std::vector<qint64> expected;
        constexpr size_t kCount = 60 * MessageStarts::kBlockEntries + 123;
        for (size_t i = 0; i < kCount; ++i) {
            expected.push_back(qint64(i) * 7919 + 3);
            starts.push_back(expected.back());
        }
        // Changes spread over blocks long written out, read back in another order.
        for (size_t i = 5; i < kCount; i += 997) {
            expected[i] = -1;
            starts.set(i, -1);
        }
        ASSERT_EQ(starts.size(), kCount);
        for (size_t i = kCount; i-- > 0;)
            ASSERT_EQ(starts.at(i), expected[i]) << i;
        for (size_t step = 0; step < 64; ++step) {
            for (size_t i = step; i < kCount; i += 64 * 1024)
                ASSERT_EQ(starts.at(i), expected[i]) << i;
        }
        if (usable) {
            EXPECT_LE(starts.residentBytes(), size_t(1) << 20);
        }
        starts.fill(-1);
        EXPECT_EQ(starts.at(0), -1);
        EXPECT_EQ(starts.at(kCount - 1), -1);
    }
}

TEST(MessageStarts, ABigFolderDeletesExactlyTheMessagesAskedFor) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Inbox"));
    constexpr int kMessages = 12 * int(MessageStarts::kBlockEntries);
    QByteArray mbox;
    for (int i = 0; i < kMessages; ++i)
        mbox += "From a Mon Jan  1 00:00:00 2001\nSubject: m" + QByteArray::number(i) + "\n\nx\n\n";
    ASSERT_TRUE(writeFile(path, mbox));

    std::set<int> deleted;
    {
        MboxFolder folder(path);
        QString error;
        ASSERT_TRUE(folder.open(&error)) << error.toStdString();
        ASSERT_EQ(EnumerateMessages(folder).size(), size_t(kMessages));
        // The first messages' offsets were written out long ago.
        bool ok = false;
        EXPECT_TRUE(ReadSource(folder, 7, &ok).contains("Subject: m7\r\n"));
        EXPECT_TRUE(ok);
        MESSAGEIDLIST ids;
        for (int i = 3; i < kMessages; i += 1009) {
            ids.ids.push_back(StoreMessageId(i));
            deleted.insert(i);
        }
        ASSERT_EQ(folder.DeleteMessages(ids), S_OK) << folder.LastError().toStdString();
        ASSERT_EQ(folder.Close(), S_OK) << folder.LastError().toStdString();
    }
    const QString text = QString::fromLatin1(readFile(path));
    std::set<int> left;
    const QRegularExpression subject(QStringLiteral("^Subject: m(\\d+)$"),
                                     QRegularExpression::MultilineOption);
    for (auto it = subject.globalMatch(text); it.hasNext();)
        left.insert(it.next().captured(1).toInt());
    EXPECT_EQ(left.size() + deleted.size(), size_t(kMessages));
    for (int i : deleted)
        EXPECT_FALSE(left.contains(i)) << i;
}
