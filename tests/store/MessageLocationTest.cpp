// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/StoreTestSupport.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace parcelo;
using namespace parcelo::test;

// A warning about a message must let a person find it: in an mbox by the byte where its
// "From " line starts, in a Maildir by its file, wherever marking read moved it.

TEST(MessageLocation, MboxNamesTheFileAndTheStartOfEachFromLine) {
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QByteArray bytes = "From a@example.com Mon Jan  5 10:00:00 2009\n"
                             "Subject: one\n\nbody\n\n"
                             "From b@example.com Mon Jan  5 11:00:00 2009\n"
                             "X-Mozilla-Status: 0009\nSubject: expunged\n\nbody\n\n"
                             "From c@example.com Mon Jan  5 12:00:00 2009\n"
                             "Subject: three\n\n>From the start\nbody\n";
    const QString inbox = tmp.filePath("Inbox");
    ASSERT_TRUE(writeFile(inbox, bytes));
    auto store = OpenStore(tmp.path());
    ASSERT_TRUE(store);
    auto folder = OpenFolderByPath(*store, "Inbox");
    ASSERT_TRUE(folder);
    const std::vector<MESSAGEPROPS> messages = EnumerateMessages(*folder);
    ASSERT_EQ(messages.size(), 2u);
    const qsizetype third = bytes.indexOf("\nFrom c@") + 1;
    EXPECT_EQ(folder->MessageLocation(messages[0].dwMessageId), inbox + ", message 1 at byte 0");
    EXPECT_EQ(folder->MessageLocation(messages[1].dwMessageId),
              inbox + QStringLiteral(", message 2 at byte %1").arg(third));
    EXPECT_EQ(folder->MessageLocation(7), inbox + ", message 8");
}

TEST(MessageLocation, MaildirNamesTheFileWhereItIsNow) {
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    ASSERT_TRUE(QDir().mkpath(tmp.filePath("cur")) && QDir().mkpath(tmp.filePath("new")));
    const QString fresh = tmp.filePath("new/1230000000.M1P1.host");
    ASSERT_TRUE(writeFile(fresh, "Subject: one\n\nbody\n"));
    auto store = OpenStore(tmp.path());
    ASSERT_TRUE(store);
    auto folder = OpenFolderByPath(*store, "Inbox");
    ASSERT_TRUE(folder);
    const std::vector<MESSAGEPROPS> messages = EnumerateMessages(*folder);
    ASSERT_EQ(messages.size(), 1u);
    const StoreMessageId id = messages[0].dwMessageId;
    EXPECT_EQ(folder->MessageLocation(id), fresh);
    MESSAGEIDLIST list;
    list.ids = {id};
    ASSERT_EQ(folder->MarkMessagesAsRead(true, list), S_OK) << folder->LastError().toStdString();
    EXPECT_EQ(folder->MessageLocation(id), tmp.filePath("cur/1230000000.M1P1.host:2,S"));
    EXPECT_EQ(folder->MessageLocation(5), "");
}
