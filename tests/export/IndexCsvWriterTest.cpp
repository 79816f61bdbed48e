// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScopedFileSizeLimit.h"
#include "export/report/IndexCsvWriter.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace parcelo;

namespace {

PreparedCsvRow Row(const QString& subject) {
    IndexCsvEntry entry;
    entry.subject = subject;
    entry.size = 10;
    return PrepareCsvRow(entry);
}

const QByteArray kHeading = "\xEF\xBB\xBF"
                            "Sent,Sender name,Sender address,Recipients,Subject,Folder,File,"
                            "Size,Attachments,Read,Flagged,Message-ID\r\n";

} // namespace

TEST(IndexCsvWriterTest, TheHeadingStartsANewOrEmptyFileOnlyAndRunsAppend) {
    QTemporaryDir dir;
    const QString path = dir.filePath("Index.csv");
    ASSERT_TRUE(test::writeFile(path, ""));
    for (const char* subject : {"one", "two, with a comma"}) {
        IndexCsvWriter writer(path);
        ASSERT_TRUE(writer.append(Row(subject), "/out/m.eml"));
        ASSERT_TRUE(writer.flush());
    }
    EXPECT_EQ(test::readFile(path), kHeading + ",,,,one,,/out/m.eml,10,0,0,0,\r\n" +
                                        ",,,,\"two, with a comma\",,/out/m.eml,10,0,0,0,\r\n");
}

TEST(IndexCsvWriterTest, AWriteThatFailsPartWayIsTakenBack) {
    QTemporaryDir dir;
    const QString path = dir.filePath("Index.csv");
    {
        IndexCsvWriter writer(path);
        ASSERT_TRUE(writer.append(Row("first"), "/out/m.eml"));
        ASSERT_TRUE(writer.flush());
    }
    const QByteArray before = test::readFile(path);
    QString error;
    {
        IndexCsvWriter writer(path);
        const test::ScopedFileSizeLimit limit(before.size() + 20);
        ASSERT_TRUE(writer.append(Row(QString(100, u'x')), "/out/m.eml"));
        EXPECT_FALSE(writer.flush(&error));
    }
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(test::readFile(path), before);
}
