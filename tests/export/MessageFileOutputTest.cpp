// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/output/MessageFileOutput.h"

#include "ScopedFileSizeLimit.h"
#include "export/naming/MessageDestination.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <csignal>
#include <cstdio>
#include <functional>
#include <malloc.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace parcelo;
using Status = MessageFileResult::Status;

namespace {

QByteArray message(const QString& date, const QByteArray& body = "Body") {
    QByteArray bytes;
    if (!date.isEmpty())
        bytes += "Date: " + date.toUtf8() + "\r\n";
    return bytes + "Subject: Hello\r\n\r\n" + body + "\r\n\r\n\r\n";
}

// Stands in for the MIME parser: the value of the first Date field of the header.
QString dateField(const QByteArray& bytes) {
    const qsizetype end = bytes.indexOf("\r\n\r\n");
    for (const QByteArray& line : bytes.left(end).split('\n')) {
        if (line.startsWith("Date:"))
            return QString::fromUtf8(line.mid(5).trimmed());
    }
    return {};
}

class MessageFileOutputTest : public ::testing::Test {
protected:
    MessageDestination destination(int folderOption = 2, const QString& subject = "Hello") const {
        DestinationRequest r;
        r.folderOption = folderOption;
        r.fileOption = 2;
        r.extension = QStringLiteral("eml");
        r.root = dir_.path() + u'/';
        r.folderName = QStringLiteral("Inbox");
        r.treePath = QStringLiteral("Local Folders\\Inbox");
        r.subject = subject;
        return DestinationOfMessage(r);
    }
    QString path(const QString& relative) const { return QDir(dir_.path()).filePath(relative); }
    QStringList inboxFiles() const {
        return QDir(path(QStringLiteral("Inbox"))).entryList(QDir::Files | QDir::Hidden);
    }

    QTemporaryDir dir_;
};

const QString kOld = QStringLiteral("Mon, 05 Jan 2009 10:00:00 +0000");
const QString kNew = QStringLiteral("Tue, 06 Jan 2009 10:00:00 +0000");

TEST_F(MessageFileOutputTest, NumberedNamesUnderOptionZeroAndUnknownOptions) {
    for (int option : {0, 7}) {
        QTemporaryDir dir;
        MessageFileOutput output(option, dateField);
        DestinationRequest r;
        r.folderOption = 0;
        r.extension = QStringLiteral("eml");
        r.root = dir.path();
        r.subject = QStringLiteral("Hello");
        const MessageDestination dest = DestinationOfMessage(r);
        for (int i = 0; i < 3; ++i) {
            const MessageFileResult result =
                output.write(dest, kOld, message(kOld, QByteArray::number(i)), {1, quint32(i)});
            ASSERT_TRUE(result.written());
            EXPECT_FALSE(result.replaced);
            const QString expected =
                i == 0 ? QStringLiteral("Hello.eml") : QStringLiteral("Hello_%1.eml").arg(i);
            EXPECT_EQ(result.path, QDir(dir.path()).filePath(expected));
            EXPECT_EQ(test::readFile(result.path), message(kOld, QByteArray::number(i)));
        }
    }
}

TEST_F(MessageFileOutputTest, NumberingFillsTheFirstFreeNameThenGoesOn) {
    ASSERT_TRUE(test::writeFile(path(QStringLiteral("Inbox/Hello.eml")), "before"));
    ASSERT_TRUE(test::writeFile(path(QStringLiteral("Inbox/Hello_2.eml")), "before"));
    MessageFileOutput output(0, dateField);
    QStringList names;
    for (quint32 i = 0; i < 3; ++i)
        names
            << QFileInfo(output.write(destination(), kOld, message(kOld), {1, i}).path).fileName();
    EXPECT_EQ(names, (QStringList{QStringLiteral("Hello_1.eml"), QStringLiteral("Hello_3.eml"),
                                  QStringLiteral("Hello_4.eml")}));
    EXPECT_EQ(test::readFile(path(QStringLiteral("Inbox/Hello_2.eml"))), "before");
}

// Bytes written ahead, before the names of the files before them are settled, get the name
// their turn gives them; under Skip and OverwriteIfNewer nothing is written ahead.
TEST_F(MessageFileOutputTest, FilesWrittenAheadAreNamedInTurn) {
    MessageFileOutput output(0, dateField);
    ASSERT_TRUE(test::writeFile(path(QStringLiteral("Inbox/Hello.eml")), "before"));
    const QByteArray first = message(kOld, "first");
    const QByteArray second = message(kOld, "second");
    // The Inbox exists, so both are written ahead; neither has a name yet.
    MessageFileDraft draftOne = output.prepare(destination(), first);
    MessageFileDraft draftTwo = output.prepare(destination(), second);
    ASSERT_TRUE(draftOne.written() && draftTwo.written());
    EXPECT_EQ(inboxFiles(), QStringList{QStringLiteral("Hello.eml")});
    const MessageFileResult one = output.write(destination(), kOld, first, {1, 1}, &draftOne);
    const MessageFileResult two = output.write(destination(), kOld, second, {1, 2}, &draftTwo);
    ASSERT_TRUE(one.written() && two.written());
    EXPECT_EQ(QFileInfo(one.path).fileName(), QStringLiteral("Hello_1.eml"));
    EXPECT_EQ(QFileInfo(two.path).fileName(), QStringLiteral("Hello_2.eml"));
    EXPECT_EQ(test::readFile(one.path), first);
    EXPECT_EQ(test::readFile(two.path), second);
    EXPECT_EQ(test::readFile(path(QStringLiteral("Inbox/Hello.eml"))), "before");

    // A draft that is never placed leaves nothing behind.
    { MessageFileDraft dropped = output.prepare(destination(), first); }
    EXPECT_EQ(inboxFiles().size(), 3);
    for (int option : {1, 2})
        EXPECT_FALSE(MessageFileOutput(option, dateField).prepare(destination(), first).written());
}

TEST_F(MessageFileOutputTest, SkipLeavesTheExistingFile) {
    MessageFileOutput output(2, dateField);
    ASSERT_TRUE(output.write(destination(), kOld, message(kOld, "first"), {1, 1}).written());
    const MessageFileResult second = output.write(destination(), kNew, message(kNew), {1, 2});
    EXPECT_EQ(second.status, Status::Skipped);
    EXPECT_EQ(inboxFiles(), QStringList{QStringLiteral("Hello.eml")});
    EXPECT_EQ(test::readFile(path(QStringLiteral("Inbox/Hello.eml"))), message(kOld, "first"));
}

TEST_F(MessageFileOutputTest, OverwriteIfNewerAgeCases) {
    const QString future =
        QDateTime::currentDateTime().addDays(2).toString(QStringLiteral("dd MMM yyyy HH:mm:ss"));
    const QString garbage = QStringLiteral("sometime last week");
    struct Case {
        const char* label;
        QString existing;
        QString current;
        bool replaced;
    };
    const Case cases[] = {
        {"current is newer", kOld, kNew, true},
        {"current is older", kNew, kOld, false},
        {"same date", kOld, kOld, false},
        {"existing has no Date", QString(), kNew, false},
        {"current has no Date", kOld, QString(), false},
        {"unparsed current counts as now", kOld, garbage, true},
        {"unparsed existing beaten only by the future", garbage, future, true},
        {"unparsed existing kept against the past", garbage, kNew, false},
    };
    for (const Case& c : cases) {
        QTemporaryDir dir;
        const QString existing = QDir(dir.path()).filePath(QStringLiteral("Hello.eml"));
        ASSERT_TRUE(test::writeFile(existing, message(c.existing, "existing")));
        DestinationRequest r;
        r.folderOption = 0;
        r.extension = QStringLiteral("eml");
        r.root = dir.path();
        r.subject = QStringLiteral("Hello");
        MessageFileOutput output(1, dateField);
        const MessageFileResult result =
            output.write(DestinationOfMessage(r), c.current, message(c.current, "current"), {});
        EXPECT_EQ(result.status, c.replaced ? Status::Written : Status::Skipped) << c.label;
        EXPECT_EQ(test::readFile(existing),
                  message(c.replaced ? c.current : c.existing, c.replaced ? "current" : "existing"))
            << c.label;
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1) << c.label;
    }
}

TEST_F(MessageFileOutputTest, ReplacingAFileOfThisRunNamesTheEarlierMessage) {
    MessageFileOutput output(1, dateField);
    const ExportedMessageKey a{1, 10}, b{1, 11}, c{2, 20};
    ASSERT_TRUE(output.write(destination(), kOld, message(kOld, "a"), a).written());

    const MessageFileResult second = output.write(destination(), kNew, message(kNew, "b"), b);
    ASSERT_TRUE(second.written());
    ASSERT_TRUE(second.replaced.has_value());
    EXPECT_EQ(*second.replaced, a);

    // Once folder 1's sources were deleted, its files are the only copies: a newer message of
    // another folder no longer replaces them.
    output.sourceMessagesDeleted(2);
    const QString newer = QStringLiteral("Tue, 06 Jan 2009 12:00:00 +0000");
    const MessageFileResult stillOpen =
        output.write(destination(), newer, message(newer, "b2"), {1, 12});
    ASSERT_TRUE(stillOpen.written());
    EXPECT_EQ(*stillOpen.replaced, b);
    output.sourceMessagesDeleted(1);
    const QString newest = QStringLiteral("Wed, 07 Jan 2009 10:00:00 +0000");
    const MessageFileResult third = output.write(destination(), newest, message(newest, "c"), c);
    EXPECT_EQ(third.status, Status::Skipped);
    EXPECT_EQ(test::readFile(path(QStringLiteral("Inbox/Hello.eml"))), message(newer, "b2"));
}

// Before a source is deleted, its message must still be in the very file written for it: a file
// of another message under the same name does not count.
TEST_F(MessageFileOutputTest, ConfirmationFollowsTheFileNotItsName) {
    const QByteArray first = message(kOld, "first");
    const QByteArray other = message(kOld, "other"); // as long as the first
    const QString hello = path(QStringLiteral("Inbox/Hello.eml"));
    const auto putInPlace = [&](const QByteArray& bytes) {
        ASSERT_TRUE(test::writeFile(hello + ".new", bytes));
        ASSERT_TRUE(::rename(QFile::encodeName(hello + ".new"), QFile::encodeName(hello)) == 0);
    };
    struct Case {
        const char* label;
        std::function<void(MessageFileOutput&)> meanwhile; // what happens after the first file
        std::vector<StoreMessageId> unconfirmed;
    };
    const std::vector<Case> cases{
        {"untouched", [](MessageFileOutput&) {}, {}},
        {"deleted", [&](MessageFileOutput&) { QFile::remove(hello); }, {1}},
        {"replaced by a file of the same size",
         [&](MessageFileOutput&) { putInPlace(other); },
         {1}},
        {"grown", [&](MessageFileOutput&) { putInPlace(first + "x"); }, {1}},
        // The freed name goes to the next message of the folder: only that one is confirmed.
        {"deleted, its name taken by the next message",
         [&](MessageFileOutput& output) {
             QFile::remove(hello);
             const MessageFileResult next = output.write(destination(), kOld, other, {1, 2});
             ASSERT_TRUE(next.written());
             ASSERT_EQ(next.path, hello);
         },
         {1}},
    };
    for (const Case& c : cases) {
        QDir(path(QStringLiteral("Inbox"))).removeRecursively();
        MessageFileOutput output(0, dateField);
        const MessageFileResult written = output.write(destination(), kOld, first, {1, 1});
        ASSERT_TRUE(written.written()) << c.label;
        ASSERT_EQ(written.path, hello);
        c.meanwhile(output);
        std::vector<StoreMessageId> unconfirmed;
        for (const UnconfirmedFile& file : output.confirmFolderFiles(1)) {
            unconfirmed.push_back(file.messageId);
            EXPECT_EQ(file.path, hello) << c.label;
            EXPECT_FALSE(file.reason.isEmpty()) << c.label;
        }
        EXPECT_EQ(unconfirmed, c.unconfirmed) << c.label;
    }

    // A file replaced by a newer message of the run is that message's file now; the earlier
    // message is not confirmed, nor reported, since the run takes it off its list.
    QDir(path(QStringLiteral("Inbox"))).removeRecursively();
    MessageFileOutput output(1, dateField);
    ASSERT_TRUE(output.write(destination(), kOld, message(kOld, "a"), {1, 1}).written());
    ASSERT_TRUE(output.write(destination(), kNew, message(kNew, "b"), {1, 2}).replaced);
    EXPECT_TRUE(output.confirmFolderFiles(1).empty());
}

TEST_F(MessageFileOutputTest, FailedReplacementKeepsTheOldFile) {
    MessageFileOutput output(1, dateField);
    ASSERT_TRUE(output.write(destination(), kOld, message(kOld, "old"), {1, 1}).written());
    // A short write shows at once for large messages and only on the final flush for small.
    for (int size : {300, 20000}) {
        MessageFileResult result;
        {
            test::ScopedFileSizeLimit limit(64);
            result =
                output.write(destination(), kNew, message(kNew, QByteArray(size, 'x')), {1, 2});
        }
        EXPECT_EQ(result.status, Status::Failed) << size;
        EXPECT_TRUE(result.error.startsWith(path(QStringLiteral("Inbox/Hello.eml")) + ": "))
            << result.error.toStdString();
        EXPECT_FALSE(result.replaced);
        EXPECT_EQ(inboxFiles(), QStringList{QStringLiteral("Hello.eml")}); // no temporary left
        EXPECT_EQ(test::readFile(path(QStringLiteral("Inbox/Hello.eml"))), message(kOld, "old"));
    }
}

TEST_F(MessageFileOutputTest, ShortWriteLeavesNoFile) {
    MessageFileOutput output(0, dateField);
    for (int size : {300, 20000}) {
        MessageFileResult result;
        {
            test::ScopedFileSizeLimit limit(64);
            result =
                output.write(destination(), kOld, message(kOld, QByteArray(size, 'x')), {1, 1});
        }
        EXPECT_EQ(result.status, Status::Failed) << size;
        EXPECT_TRUE(result.error.endsWith(": File too large")) << result.error.toStdString();
        EXPECT_TRUE(inboxFiles().isEmpty()) << size;
    }
}

TEST_F(MessageFileOutputTest, NoFileWithoutItsDirectoryOrName) {
    MessageFileOutput output(0, dateField);
    // A tree path with a colon in one name: nothing is created at all.
    DestinationRequest r;
    r.folderOption = 1;
    r.extension = QStringLiteral("eml");
    r.root = dir_.path();
    r.treePath = QStringLiteral("Local Folders\\Bad:Name\\Sub");
    MessageFileResult result = output.write(DestinationOfMessage(r), kOld, message(kOld), {});
    EXPECT_EQ(result.status, Status::Failed);
    EXPECT_TRUE(result.error.startsWith("'Local Folders/Bad:Name/Sub' cannot be a folder under"))
        << result.error.toStdString();
    EXPECT_TRUE(QDir(dir_.path()).isEmpty());

    // A file where the sub-folder should be.
    ASSERT_TRUE(test::writeFile(path(QStringLiteral("Inbox")), "not a folder"));
    result = output.write(destination(), kOld, message(kOld), {});
    EXPECT_EQ(result.status, Status::Failed);
    EXPECT_EQ(result.error, "cannot create the folder " + path("Inbox") + ": Not a directory");

    // An extension that leaves no room for a name, and one that is not a name.
    r.treePath = QStringLiteral("Local Folders");
    r.extension = QString(300, u'e');
    result = output.write(DestinationOfMessage(r), kOld, message(kOld), {});
    EXPECT_EQ(result.status, Status::Failed);
    EXPECT_TRUE(result.error.contains("leaves no room for a file name"));
    r.extension = QStringLiteral("e/ml");
    result = output.write(DestinationOfMessage(r), kOld, message(kOld), {});
    EXPECT_EQ(result.error, "the extension 'e/ml' cannot be part of a file name");
    EXPECT_TRUE(QDir(path(QStringLiteral("Local Folders"))).isEmpty());
}

TEST_F(MessageFileOutputTest, TreePathBecomesDirectories) {
    MessageFileOutput output(0, dateField);
    const MessageFileResult result = output.write(destination(1), kOld, message(kOld), {});
    ASSERT_TRUE(result.written());
    EXPECT_EQ(result.path, path(QStringLiteral("Local Folders/Inbox/Hello.eml")));
}

TEST_F(MessageFileOutputTest, APlantedLinkIsATakenNameAndNeverFollowed) {
    for (const bool toDirectory : {false, true}) {
        for (int option : {0, 1, 2}) {
            QTemporaryDir dir, outside;
            const QString victim = QDir(outside.path()).filePath(QStringLiteral("victim.eml"));
            ASSERT_TRUE(test::writeFile(victim, message(kOld, "victim")));
            const QDateTime victimTime = QFileInfo(victim).lastModified();
            const QString link = QDir(dir.path()).filePath(QStringLiteral("Hello.eml"));
            ASSERT_TRUE(QFile::link(toDirectory ? outside.path() : victim, link));
            bool readVictim = false;
            MessageFileOutput output(option, [&](const QByteArray& bytes) {
                readVictim = readVictim || bytes.contains("victim");
                return dateField(bytes);
            });
            DestinationRequest r;
            r.folderOption = 0;
            r.extension = QStringLiteral("eml");
            r.root = dir.path();
            r.subject = QStringLiteral("Hello");
            const MessageFileResult result =
                output.write(DestinationOfMessage(r), kNew, message(kNew, "current"), {1, 1});
            const std::string label = std::to_string(option) + (toDirectory ? " dir" : " file");
            if (option == 0) {
                ASSERT_TRUE(result.written()) << label;
                EXPECT_EQ(QFileInfo(result.path).fileName(), QStringLiteral("Hello_1.eml"));
            } else {
                EXPECT_EQ(result.status, Status::Skipped) << label;
            }
            EXPECT_FALSE(readVictim) << label;
            EXPECT_TRUE(QFileInfo(link).isSymLink()) << label;
            EXPECT_EQ(test::readFile(victim), message(kOld, "victim")) << label;
            EXPECT_EQ(QFileInfo(victim).lastModified(), victimTime) << label;
            EXPECT_EQ(QDir(outside.path())
                          .entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
                      QStringList{QStringLiteral("victim.eml")})
                << label;
        }
    }
}

TEST_F(MessageFileOutputTest, TemporaryFilesOfDeadRunsAreRemoved) {
    const qint64 child = test::endedProcessId();
    ASSERT_GT(child, 0);
    const QString dead = QStringLiteral(".parcelo-%1-0").arg(child);
    const QString live = QStringLiteral(".parcelo-%1-0").arg(getppid());
    const QString other = QStringLiteral(".parcelo-notes.part");
    for (const QString& name : {dead, live, other})
        ASSERT_TRUE(test::writeFile(path(QStringLiteral("Inbox/") + name), "part of a mess"));

    MessageFileOutput output(0, dateField);
    ASSERT_TRUE(output.write(destination(), kOld, message(kOld), {1, 1}).written());
    QStringList expected{live, other, QStringLiteral("Hello.eml")};
    expected.sort();
    QStringList files = inboxFiles();
    files.sort();
    EXPECT_EQ(files, expected);
}

} // namespace

// A run that changes no source needs nothing of the files it wrote: tens of thousands of them
// must not add to the memory the run takes, whatever the option.
TEST_F(MessageFileOutputTest, WithoutSourceActionsWrittenFilesAreNotRemembered) {
    for (int option : {0, 1}) {
        SCOPED_TRACE(option);
        QTemporaryDir dir;
        MessageFileOutput output(option, dateField, false);
        DestinationRequest r;
        r.folderOption = 0;
        r.fileOption = 2;
        r.extension = QStringLiteral("eml");
        r.root = dir.path();
        const QByteArray bytes = message(kOld);
        const auto writeMessages = [&](int from, int to) {
            for (int i = from; i < to; ++i) {
                r.subject = QStringLiteral("Bulk message %1").arg(i);
                ASSERT_TRUE(
                    output.write(DestinationOfMessage(r), kOld, bytes, {1, quint32(i)}).written());
            }
        };
        writeMessages(0, 100); // what the first files make once
        const size_t before = mallinfo2().uordblks;
        writeMessages(100, 10100);
        const size_t after = mallinfo2().uordblks;
        EXPECT_LT(after, before + (512 << 10)) << "heap in use grew by " << after - before;
    }
}
