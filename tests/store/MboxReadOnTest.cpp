// SPDX-License-Identifier: GPL-3.0-or-later
// An mbox folder read on from where an earlier read through to its end stopped: only when the
// file has only grown since, and then it hands out just the messages added.
#include "store/mbox/MboxFolder.h"
#include "support/StoreTestSupport.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace parcelo;
using namespace parcelo::test;

namespace {

const QByteArray kSeparator = "From MAILER-DAEMON Mon Jan  5 10:00:00 2009\r\n";

// A message (without its separator) of about 20 KB, so that five are more than the stretch
// a later read compares.
QByteArray Message(int number, const QByteArray& fields = {}) {
    QByteArray message = fields + "From: Sender <s@example.com>\r\nSubject: Message " +
                         QByteArray::number(number) + "\r\n\r\n";
    for (int line = 0; message.size() < 20000; ++line)
        message += "message " + QByteArray::number(number) + " line " + QByteArray::number(line) +
                   " of its body\r\n";
    return message;
}

// As a delivery agent appends it: separator, message, empty line.
QByteArray Delivered(int number, const QByteArray& fields = {}) {
    return kSeparator + Message(number, fields) + "\r\n";
}

QByteArray Mailbox(int from, int to) {
    QByteArray mailbox;
    for (int number = from; number <= to; ++number)
        mailbox += Delivered(number, "X-Mozilla-Status: 0000\r\n");
    return mailbox;
}

bool Append(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::Append) && file.write(bytes) == bytes.size();
}

// Writes over bytes of the file in place, its size kept.
bool WriteAt(const QString& path, qint64 offset, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::ReadWrite) && file.seek(offset) &&
           file.write(bytes) == bytes.size();
}

QStringList Subjects(const std::vector<MESSAGEPROPS>& messages) {
    QStringList subjects;
    for (const MESSAGEPROPS& props : messages)
        subjects.append(QString::fromLatin1(props.pszNormalSubject));
    return subjects;
}

QStringList Numbered(std::initializer_list<int> numbers) {
    QStringList subjects;
    for (const int number : numbers)
        subjects.append(QStringLiteral("Message %1").arg(number));
    return subjects;
}

} // namespace

TEST(MboxReadOnTest, ReadsOnOnlyWhereTheFileOnlyGrew) {
    struct Case {
        const char* label;
        QByteArray mailbox;
        std::function<bool(const QString& path, const QByteArray& mailbox)> change;
        bool readsOn;
        QStringList handedOut;
    };
    const QByteArray five = Mailbox(1, 5);
    const qint64 lastFieldAt = five.lastIndexOf("X-Mozilla-Status: 0000");
    const QByteArray lastCut = five.left(five.size() - 2); // without the empty line at its end
    // Its Content-Length reaches, once mail was added, to the empty line before message 7.
    const QByteArray counted =
        Mailbox(1, 4) + kSeparator + "From: Sender <s@example.com>\r\nSubject: Message 5\r\n" +
        "Content-Length: " +
        QByteArray::number(QByteArray("body\r\n\r\n").size() + Delivered(6).size() - 2) +
        "\r\n\r\nbody\r\n\r\n";
    const Case cases[] = {
        {"two messages added", five,
         [](const QString& path, const QByteArray&) {
             return Append(path, Delivered(6) + Delivered(7));
         },
         true, Numbered({6, 7})},
        {"nothing changed", five, [](const QString&, const QByteArray&) { return true; }, true, {}},
        {"the last message marked read in place",
         five,
         [&](const QString& path, const QByteArray&) {
             return WriteAt(path, lastFieldAt, "X-Mozilla-Status: 0001");
         },
         true,
         {}},
        {"a letter of the last message's body written over", five,
         [](const QString& path, const QByteArray& mailbox) {
             return WriteAt(path, mailbox.lastIndexOf("line"), "LINE");
         },
         false, Numbered({1, 2, 3, 4, 5})},
        // Message 6 as big as message 1: the old end falls on the separator of message 7.
        {"the first message deleted and two added", five,
         [](const QString& path, const QByteArray& mailbox) {
             const QByteArray first = Delivered(1, "X-Mozilla-Status: 0000\r\n");
             const QByteArray added = Delivered(6, "X-Mozilla-Status: 0000\r\n");
             return first.size() == added.size() &&
                    writeFile(path, mailbox.mid(first.size()) + added + Delivered(7));
         },
         false, Numbered({2, 3, 4, 5, 6, 7})},
        // The old file is kept aside, so that the new one cannot have its inode.
        {"replaced by a new file with one more", five,
         [](const QString& path, const QByteArray& mailbox) {
             return QFile::rename(path, path + ".old") && writeFile(path, mailbox + Delivered(6));
         },
         false, Numbered({1, 2, 3, 4, 5, 6})},
        {"the last message deleted", five,
         [](const QString& path, const QByteArray& mailbox) {
             return ::truncate(QFile::encodeName(path).constData(),
                               mailbox.lastIndexOf(kSeparator)) == 0;
         },
         false, Numbered({1, 2, 3, 4})},
        // Without an empty line before it, the line added is no separator but body.
        {"a message added right after the last line", lastCut,
         [](const QString& path, const QByteArray&) { return Append(path, Delivered(6)); }, false,
         Numbered({1, 2, 3, 4, 5})},
        {"the last message's Content-Length reaching into what was added", counted,
         [](const QString& path, const QByteArray&) {
             return Append(path, Delivered(6) + Delivered(7));
         },
         false, Numbered({1, 2, 3, 4, 5, 7})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        QTemporaryDir dir;
        const QString path = dir.filePath("Inbox");
        ASSERT_TRUE(writeFile(path, c.mailbox));
        QString error;
        std::optional<FolderReadEnd> end;
        {
            MboxFolder folder(path);
            ASSERT_TRUE(folder.open(&error)) << error.toStdString();
            EnumerateMessages(folder);
            end = folder.ReadEnd();
            ASSERT_TRUE(end.has_value());
            ASSERT_EQ(end->end, c.mailbox.size());
            ASSERT_EQ(FolderReadEnd::decode(end->encode())->encode(), end->encode());
        }
        ASSERT_TRUE(c.change(path, c.mailbox));
        MboxFolder folder(path);
        ASSERT_TRUE(folder.open(&error)) << error.toStdString();
        EXPECT_EQ(folder.ResumeAfter(*end), c.readsOn);
        EXPECT_EQ(Subjects(EnumerateMessages(folder)), c.handedOut);
        // Read on again from there, the count goes on from the messages read before.
        const std::optional<FolderReadEnd> next = folder.ReadEnd();
        ASSERT_TRUE(next.has_value());
        EXPECT_EQ(next->end, QFileInfo(path).size());
        EXPECT_EQ(next->messages, (c.readsOn ? end->messages : 0) + c.handedOut.size());
    }
}
