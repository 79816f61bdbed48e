// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/output/BackgroundFileWriter.h"

#include "support/TestEnv.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <thread>

using namespace parcelo;

namespace {

using Job = BackgroundFileWriter::Job;
using Outcome = BackgroundFileWriter::Outcome;

std::string bytesOf(int number, size_t bodySize = 20) {
    return "Subject: m" + std::to_string(number) + "\r\n\r\n" + std::string(bodySize, 'b') +
           "\r\n\r\n\r\n";
}

class BackgroundFileWriterTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    // A file named after its number in the destination, with an index entry of that subject.
    Job job(int number, size_t bodySize = 20, QString root = {}) const {
        DestinationRequest request;
        request.folderOption = 0;
        request.fileOption = 2;
        request.extension = QStringLiteral("eml");
        request.root = root.isNull() ? out() + u'/' : root;
        request.subject = QStringLiteral("m%1").arg(number);
        IndexEntry entry;
        entry.subject = request.subject;
        return {DestinationOfMessage(request), {},
                bytesOf(number, bodySize),     {1, StoreMessageId(number)},
                PrepareIndexEntry(entry),      {}};
    }
    QString out() const { return dir.filePath(QStringLiteral("out")); }
    QString fileOf(int number) const { return out() + QStringLiteral("/m%1.eml").arg(number); }

    QTemporaryDir dir;
    MessageFileOutput output{0, {}};
    IndexPageWriter index{dir.filePath(QStringLiteral("Index.htm"))};
};

} // namespace

TEST_F(BackgroundFileWriterTest, ResultsComeInTheOrderTheFilesWereStarted) {
    ASSERT_TRUE(QDir().mkpath(out()));
    constexpr int kFiles = 3 * BackgroundFileWriter::kMaxJobs + 5;
    std::vector<Outcome> outcomes;
    {
        BackgroundFileWriter writer(output, index);
        for (int i = 0; i < kFiles; ++i) {
            // Now and then a big one, so that the byte limit fills the queue too.
            const size_t body = i % 50 == 7 ? BackgroundFileWriter::kMaxBytes : 20;
            while (writer.full())
                outcomes.push_back(writer.result());
            writer.start(job(i, body));
            EXPECT_LE(writer.backlog(), writer.started());
        }
        while (writer.started() > 0)
            outcomes.push_back(writer.result());
    }
    ASSERT_EQ(outcomes.size(), size_t(kFiles));
    for (int i = 0; i < kFiles; ++i) {
        const Outcome& outcome = outcomes[size_t(i)];
        ASSERT_TRUE(outcome.file.written()) << i << " " << outcome.file.error.toStdString();
        EXPECT_EQ(outcome.job.key.messageId, StoreMessageId(i));
        EXPECT_EQ(outcome.file.path, fileOf(i));
        EXPECT_TRUE(outcome.indexed);
        EXPECT_TRUE(outcome.job.bytes.empty()); // handed back for the caller to use again
        const size_t body = i % 50 == 7 ? BackgroundFileWriter::kMaxBytes : 20;
        EXPECT_EQ(test::readFile(fileOf(i)).toStdString(), bytesOf(i, body)) << i;
    }
    // The index page lists the files in the same order.
    ASSERT_TRUE(index.flush());
    const QByteArray page = test::readFile(dir.filePath(QStringLiteral("Index.htm")));
    qsizetype at = 0;
    for (int i = 0; i < kFiles; ++i) {
        const qsizetype found = page.indexOf(QStringLiteral("/m%1.eml\"").arg(i).toUtf8(), at);
        ASSERT_GT(found, at) << i;
        at = found;
    }
}

TEST_F(BackgroundFileWriterTest, FailuresAreTheirFilesResultsAndTheNextFilesGoOn) {
    ASSERT_TRUE(QDir().mkpath(out()));
    ASSERT_TRUE(QDir().mkpath(fileOf(1))); // a directory has the second file's name
    BackgroundFileWriter writer(output, index);
    writer.start(job(0, 20, QStringLiteral("")));
    writer.start(job(1));
    writer.start(job(2));
    const Outcome noRoot = writer.result();
    EXPECT_EQ(noRoot.file.status, MessageFileResult::Status::Failed);
    EXPECT_EQ(noRoot.file.error, QStringLiteral("no destination folder is set"));
    const Outcome taken = writer.result();
    EXPECT_EQ(taken.file.status, MessageFileResult::Status::Failed);
    EXPECT_EQ(taken.file.error, fileOf(1) + QStringLiteral(": a directory has the name"));
    EXPECT_TRUE(QFileInfo(fileOf(1)).isDir());
    const Outcome written = writer.result();
    EXPECT_TRUE(written.file.written());
    EXPECT_EQ(test::readFile(fileOf(2)).toStdString(), bytesOf(2));

    // An index page that cannot be written leaves the file written and says why.
    IndexPageWriter lost(dir.filePath(QStringLiteral("missing/Index.htm")));
    BackgroundFileWriter writerWithoutPage(output, lost);
    Job big = job(3);
    IndexEntry entry;
    entry.subject = QString(IndexPageWriter::kWriteSize, u's'); // written at once
    big.entry = PrepareIndexEntry(entry);
    writerWithoutPage.start(std::move(big));
    const Outcome unindexed = writerWithoutPage.result();
    EXPECT_TRUE(unindexed.file.written());
    EXPECT_FALSE(unindexed.indexed);
    EXPECT_FALSE(unindexed.indexError.isEmpty());
    EXPECT_EQ(test::readFile(fileOf(3)).toStdString(), bytesOf(3));
}

TEST_F(BackgroundFileWriterTest, TheQueueHoldsAtMostItsLimits) {
    ASSERT_TRUE(QDir().mkpath(out()));
    BackgroundFileWriter writer(output, index);
    // The number of files whose results were not taken counts, written or not.
    for (size_t i = 0; i < BackgroundFileWriter::kMaxJobs; ++i) {
        EXPECT_FALSE(writer.full()) << i;
        writer.start(job(int(i)));
    }
    EXPECT_TRUE(writer.full());
    EXPECT_EQ(writer.started(), BackgroundFileWriter::kMaxJobs);
    writer.waitForResults(BackgroundFileWriter::kMaxJobs);
    EXPECT_TRUE(writer.full());
    EXPECT_EQ(writer.backlog(), 0u);
    writer.result();
    EXPECT_FALSE(writer.full());
    while (writer.started() > 0)
        writer.result();

    // Bytes count until they are written; a big file's bytes are let go on the writing thread.
    writer.start(job(100, BackgroundFileWriter::kMaxBytes));
    writer.waitForResults(1);
    EXPECT_FALSE(writer.full());
    const Outcome big = writer.result();
    EXPECT_TRUE(big.file.written());
    EXPECT_LT(big.job.bytes.capacity(), BackgroundFileWriter::kKeptBufferSize);
}

TEST_F(BackgroundFileWriterTest, FilesStartedBeforeShutdownAreAllWritten) {
    ASSERT_TRUE(QDir().mkpath(out()));
    constexpr int kFiles = BackgroundFileWriter::kMaxJobs - 1;
    {
        BackgroundFileWriter writer(output, index);
        for (int i = 0; i < kFiles; ++i)
            writer.start(job(i, 4000));
        // Gone without taking a single result.
    }
    for (int i = 0; i < kFiles; ++i)
        EXPECT_EQ(test::readFile(fileOf(i)).toStdString(), bytesOf(i, 4000)) << i;
    EXPECT_EQ(QDir(out()).entryList(QDir::Files | QDir::Hidden).size(), kFiles);
    ASSERT_TRUE(index.flush());
    const QByteArray page = test::readFile(dir.filePath(QStringLiteral("Index.htm")));
    for (int i = 0; i < kFiles; ++i)
        EXPECT_TRUE(page.contains(QStringLiteral("/m%1.eml\"").arg(i).toUtf8())) << i;
}

// The writing thread sleeps when it has nothing to do, and a few files do not wake it: asking
// for a result, or going away, must.
TEST_F(BackgroundFileWriterTest, AFewFilesStartedWhileTheWriterSleepsAreWritten) {
    ASSERT_TRUE(QDir().mkpath(out()));
    {
        BackgroundFileWriter writer(output, index);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        writer.start(job(0));
        const Outcome first = writer.result();
        EXPECT_TRUE(first.file.written());
        EXPECT_EQ(test::readFile(fileOf(0)).toStdString(), bytesOf(0));

        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        writer.start(job(1));
        writer.start(job(2));
        // Gone without asking.
    }
    EXPECT_EQ(test::readFile(fileOf(1)).toStdString(), bytesOf(1));
    EXPECT_EQ(test::readFile(fileOf(2)).toStdString(), bytesOf(2));
}
