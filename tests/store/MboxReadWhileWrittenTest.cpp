// SPDX-License-Identifier: GPL-3.0-or-later
// An mbox folder read while other programs write the same file: a writer that locks waits for
// the read, a big message is read from the file that was enumerated, and a change by a writer
// that does not lock is told.
#include "store/mbox/MboxFolder.h"
#include "support/StoreTestSupport.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace parcelo;
using namespace parcelo::test;

namespace {

QByteArray Separator() {
    return "From MAILER-DAEMON Mon Jan  5 10:00:00 2009\r\n";
}

// A message (without its separator) of about bodyBytes, with CR LF line ends.
QByteArray Message(int number, qint64 bodyBytes) {
    QByteArray message = "From: Sender <s@example.com>\r\nSubject: Message " +
                         QByteArray::number(number) + "\r\nMessage-ID: <" +
                         QByteArray::number(number) + "@example.com>\r\n\r\n";
    for (int line = 0; message.size() < bodyBytes; ++line)
        message += "message " + QByteArray::number(number) + " line " + QByteArray::number(line) +
                   " of its body, long enough to fill the mailbox quickly\r\n";
    return message;
}

QByteArray Mailbox(const std::vector<QByteArray>& messages) {
    QByteArray mailbox;
    for (const QByteArray& message : messages)
        mailbox += Separator() + message + "\r\n";
    return mailbox;
}

// Writes the file beside the mailbox and renames it over it, as a program that compacts does.
bool ReplaceByRename(const QString& path, const QByteArray& bytes) {
    const QString temporary = path + QStringLiteral(".new");
    return writeFile(temporary, bytes) && ::rename(QFile::encodeName(temporary).constData(),
                                                   QFile::encodeName(path).constData()) == 0;
}

// Whether another open of the file gets a lock of that type at once.
bool OthersMayLock(const QString& path, short type) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC);
    EXPECT_GE(fd, 0);
    struct flock lock = {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    const bool locked = ::fcntl(fd, F_OFD_SETLK, &lock) == 0;
    ::close(fd);
    return locked;
}

} // namespace

// A message too big to be kept from enumeration is read again later. The mailbox may have been
// compacted meanwhile: the message is still read from the file it was found in, never from
// whatever now has the name (the tail of one message and the head of the next).
TEST(MboxReadWhileWritten, ABigMessageIsReadFromTheFileItWasFoundIn) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Inbox"));
    const QByteArray first = Message(1, 2000);
    const QByteArray big = Message(2, MboxFolder::kKeptMessageLimit + 4096);
    const QByteArray last = Message(3, 2000);
    ASSERT_TRUE(writeFile(path, Mailbox({first, big, last})));

    MboxFolder folder(path);
    QString error;
    ASSERT_TRUE(folder.open(&error)) << error.toStdString();
    MESSAGEPROPS props;
    HENUMSTORE handle = 0;
    ASSERT_EQ(folder.GetFirstMessage(&props, &handle), S_OK);
    ASSERT_EQ(folder.GetNextMessage(handle, &props), S_OK);
    ASSERT_EQ(props.cbMessage, quint64(big.size()));
    ASSERT_TRUE(ReplaceByRename(path, Mailbox({big, last})));

    bool ok = false;
    const QByteArray source = ReadSource(folder, props.dwMessageId, &ok);
    EXPECT_TRUE(ok) << folder.LastError().toStdString();
    EXPECT_TRUE(source == big) << "read " << source.size() << " bytes, not the message";
    folder.GetMessageClose(handle);
    folder.Close();
}

// A writer that locks as mail servers do (an fcntl write lock) waits while a folder is read, and
// only then: the lock is shared with other readers and let go once the messages are read.
TEST(MboxReadWhileWritten, AWriterThatLocksWaitsForTheRead) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Inbox"));
    ASSERT_TRUE(writeFile(path, Mailbox({Message(1, 100), Message(2, 100), Message(3, 100)})));

    MboxFolder folder(path);
    QString error;
    ASSERT_TRUE(folder.open(&error)) << error.toStdString();
    MESSAGEPROPS props;
    HENUMSTORE handle = 0;
    ASSERT_EQ(folder.GetFirstMessage(&props, &handle), S_OK);
    EXPECT_FALSE(OthersMayLock(path, F_WRLCK)) << "a writer could change the file being read";
    EXPECT_TRUE(OthersMayLock(path, F_RDLCK)) << "another reader was kept out";
    HRESULT hr = S_OK;
    while (hr == S_OK)
        hr = folder.GetNextMessage(handle, &props);
    EXPECT_EQ(hr, S_FALSE);
    EXPECT_TRUE(OthersMayLock(path, F_WRLCK)) << "the lock was kept after the read";
    folder.GetMessageClose(handle);
    EXPECT_EQ(folder.Close(), S_OK);
}

// A program that takes no lock may still write the mailbox while it is read: the folder tells,
// from the first message that may have been read after the write on. What was read before is
// not doubted (the small message after the big one came in the same read as the big one's end),
// except a big message streamed from the file after it was handed out.
TEST(MboxReadWhileWritten, AWriteByAProgramThatTakesNoLockIsTold) {
    struct Case {
        const char* label;
        bool write;
        bool sameSize;
        bool streamBigMessage;
        StoreMessageId doubtFrom;
    } cases[] = {
        {"nothing written", false, false, false, 0},
        {"mail appended", true, false, false, 3},
        {"rewritten in place, same size", true, true, false, 3},
        {"written while a big message was streamed", true, true, true, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Inbox"));
        const QByteArray big = Message(2, MboxFolder::kKeptMessageLimit + 4096);
        // The last one is longer than what one read takes of the file.
        const QByteArray mailbox =
            Mailbox({Message(1, 100), big, Message(3, 100), Message(4, 1 << 20)});
        ASSERT_TRUE(writeFile(path, mailbox));
        // The mailbox was last written a while ago, as a mailbox at rest is.
        const struct timespec anHourAgo[2] = {{::time(nullptr) - 3600, 0},
                                              {::time(nullptr) - 3600, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), anHourAgo, 0), 0);
        QByteArray written = c.sameSize ? mailbox : mailbox + Separator() + Message(4, 100);
        if (c.sameSize)
            written.replace("Subject: Message 1", "Subject: Message I");

        MboxFolder folder(path);
        QString error;
        ASSERT_TRUE(folder.open(&error)) << error.toStdString();
        MESSAGEPROPS props;
        HENUMSTORE handle = 0;
        ASSERT_EQ(folder.GetFirstMessage(&props, &handle), S_OK);
        ASSERT_EQ(folder.GetNextMessage(handle, &props), S_OK);
        std::unique_ptr<IStoreStream> stream;
        if (c.streamBigMessage) {
            ASSERT_EQ(folder.OpenMessage(props.dwMessageId, &stream), S_OK);
        }
        if (c.write) {
            const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY);
            ASSERT_GE(fd, 0);
            ASSERT_EQ(::pwrite(fd, written.constData(), size_t(written.size()), 0), written.size());
            ::close(fd);
        }
        if (stream) {
            char buffer[65536];
            std::uint32_t got = 0;
            while (stream->Read(buffer, sizeof buffer, &got) == S_OK && got > 0) {
            }
        }
        StoreMessageId from = 0;
        EXPECT_TRUE(folder.ReadDoubt(&from).isEmpty()) << "told before it was seen";
        while (folder.GetNextMessage(handle, &props) == S_OK) {
        }
        const QString doubt = folder.ReadDoubt(&from);
        EXPECT_EQ(doubt.isEmpty(), !c.write) << doubt.toStdString();
        if (c.write) {
            EXPECT_TRUE(doubt.contains(path)) << doubt.toStdString();
            EXPECT_EQ(from, c.doubtFrom);
        }
        folder.GetMessageClose(handle);
        folder.Close();
    }
}
