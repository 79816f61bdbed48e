// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/StoreTestSupport.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace parcelo;
using namespace parcelo::test;

namespace {

const QByteArray kMessage = "From a@example.com Mon Jan  5 10:00:00 2009\n"
                            "Subject: one\n\nbody of one\n\n"
                            "From b@example.com Mon Jan  5 11:00:00 2009\n"
                            "Subject: two\n\nbody of two\n";

MESSAGEIDLIST Ids(std::initializer_list<StoreMessageId> ids) {
    MESSAGEIDLIST list;
    list.ids = ids;
    return list;
}

// Reads the whole message; the reason of the failed read, or empty when it was read.
QString ReadFailure(IStoreFolder& folder, StoreMessageId id) {
    std::unique_ptr<IStoreStream> stream;
    if (!Succeeded(folder.OpenMessage(id, &stream)))
        return folder.LastError();
    char buffer[64];
    std::uint32_t got = 0;
    do {
        if (!Succeeded(stream->Read(buffer, sizeof buffer, &got)))
            return stream->LastError();
    } while (got > 0);
    return {};
}

class StoreFailureReasonTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(tmp.isValid()); }
    QTemporaryDir tmp;
};

} // namespace

TEST_F(StoreFailureReasonTest, AMailboxThatBecameADirectoryCannotBeOpenedAndSaysWhy) {
    const QString inbox = tmp.filePath("Inbox");
    ASSERT_TRUE(writeFile(inbox, kMessage));
    auto store = OpenStore(tmp.path());
    ASSERT_TRUE(store);
    ASSERT_TRUE(QFile::remove(inbox) && QDir().mkdir(inbox));

    std::unique_ptr<IStoreFolder> folder;
    EXPECT_FALSE(Succeeded(store->OpenFolder(1, &folder)));
    EXPECT_TRUE(store->LastError().startsWith(inbox + ": ")) << store->LastError().toStdString();
    EXPECT_GT(store->LastError().size(), inbox.size() + 2);
    EXPECT_FALSE(Succeeded(store->OpenFolder(99, &folder)));
    EXPECT_TRUE(store->LastError().contains("99"));
}

TEST_F(StoreFailureReasonTest, AMessageThatChangedSinceTheScanFailsWithAReason) {
    const QString inbox = tmp.filePath("Inbox");
    ASSERT_TRUE(writeFile(inbox, kMessage));
    auto store = OpenStore(tmp.path());
    ASSERT_TRUE(store);
    auto folder = OpenFolderByPath(*store, "Inbox");
    ASSERT_TRUE(folder);
    EXPECT_EQ(EnumerateMessages(*folder).size(), 2u);
    // Enumerating again stops at the first message, whose bytes are then at hand.
    MESSAGEPROPS props;
    HENUMSTORE handle = 0;
    ASSERT_EQ(folder->GetFirstMessage(&props, &handle), S_OK);
    folder->GetMessageClose(handle);

    // Cut the file inside the second message: the first still reads, the second cannot.
    ASSERT_TRUE(QFile::resize(inbox, kMessage.size() - 6));
    EXPECT_EQ(ReadFailure(*folder, 0), "");
    const QString reason = ReadFailure(*folder, 1);
    EXPECT_TRUE(reason.startsWith(inbox + ": ")) << reason.toStdString();
    EXPECT_TRUE(reason.contains("ended before the message")) << reason.toStdString();

    // The first message's bytes were read when it was enumerated: they are still whole.
    ASSERT_TRUE(QFile::remove(inbox));
    EXPECT_EQ(ReadFailure(*folder, 0), "");
    EXPECT_FALSE(Succeeded(folder->DeleteMessages(Ids({7}))));
    EXPECT_TRUE(folder->LastError().contains("message 8 is no longer"))
        << folder->LastError().toStdString();
}

TEST_F(StoreFailureReasonTest, MaildirMessagesThatVanishedSayWhyTheyCannotBeReadOrChanged) {
    ASSERT_TRUE(QDir().mkpath(tmp.filePath("cur")) && QDir().mkpath(tmp.filePath("new")));
    const QString first = tmp.filePath("cur/1.host:2,");
    const QString second = tmp.filePath("new/2.host");
    ASSERT_TRUE(writeFile(first, "Subject: one\n\nbody\n"));
    ASSERT_TRUE(writeFile(second, "Subject: two\n\nbody\n"));
    auto store = OpenStore(tmp.path());
    ASSERT_TRUE(store);
    auto folder = OpenFolderByPath(*store, "Inbox");
    ASSERT_TRUE(folder);
    ASSERT_TRUE(QFile::remove(first) && QFile::remove(second));

    // The first was not measured yet: the open says why; the change of the second as well.
    EXPECT_TRUE(ReadFailure(*folder, 0).startsWith(first + ": "))
        << ReadFailure(*folder, 0).toStdString();
    EXPECT_FALSE(Succeeded(folder->MarkMessagesAsRead(true, Ids({1}))));
    EXPECT_TRUE(folder->LastError().contains("No such file")) << folder->LastError().toStdString();
    EXPECT_FALSE(Succeeded(folder->DeleteMessages(Ids({0}))));
    EXPECT_TRUE(folder->LastError().startsWith("cannot remove " + first + ": No such file"))
        << folder->LastError().toStdString();
}
