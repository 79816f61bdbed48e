// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/report/ExportLog.h"

#include "ScopedFileSizeLimit.h"
#include "export/output/TextFile.h"
#include "platform/LocaleFormats.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QLocale>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace parcelo;

namespace {

class ExportLogTest : public ::testing::Test {
protected:
    void SetUp() override { LocaleFormats::setCurrent(QLocale(QStringLiteral("en_US"))); }
    void TearDown() override { LocaleFormats::resetCurrent(); }

    QString logPath() const { return QDir(dir_.path()).filePath(QStringLiteral("Parcelo.log")); }
    static QString date(const QDateTime& t) {
        return LocaleFormats::current().formatDate(t.date());
    }
    static QString time(const QDateTime& t) {
        return LocaleFormats::current().formatTime(t.time());
    }

    // One run over a folder Inbox holding 3 messages, one exported.
    void writeRun(const ExportLog& log, const QDateTime& start, const QDateTime& end,
                  bool markRead = false, bool deleted = false) const {
        ASSERT_TRUE(log.writeRunHeader(start));
        ASSERT_TRUE(log.writeFolderBlock({QStringLiteral("Inbox"), 3, 1, markRead, deleted}));
        ASSERT_TRUE(log.writeRunFooter({QStringLiteral("None"), 1, 3}, end));
    }

    QStringList expectedRun(const QDateTime& start, const QDateTime& end,
                            const QString& actions = {}) const {
        return {date(start),
                QStringLiteral("Export initialized at ") + time(start),
                QString(),
                QStringLiteral("Mailbox: Inbox"),
                QStringLiteral("Number of Scanned Messages: 3"),
                QStringLiteral("Number of Exported Messages: One"),
                actions,
                QString(),
                QStringLiteral("Export completed at ") + time(end),
                QStringLiteral("Applied Filter(s): None"),
                QStringLiteral("Exported Headers: All"),
                QStringLiteral("Exported Attachments: All"),
                QStringLiteral("Total number of exported messages: One"),
                QStringLiteral("Total number of scanned messages: 3"),
                QString(41, u'=')};
    }

    static QByteArray joinLines(const QStringList& lines) {
        return (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8();
    }

    QTemporaryDir dir_;
    const QDateTime start_{QDate(2026, 12, 10), QTime(4, 5, 6)};
    const QDateTime end_{QDate(2026, 12, 10), QTime(16, 7, 8)};
};

TEST_F(ExportLogTest, OneRunWritesItsHeaderFolderBlockAndFooter) {
    writeRun(ExportLog(logPath()), start_, end_);
    EXPECT_EQ(test::readFile(logPath()), joinLines(expectedRun(start_, end_)));
}

TEST_F(ExportLogTest, TwoRunsAppendTwoCompleteRecords) {
    const ExportLog log(logPath());
    writeRun(log, start_, end_);
    const QDateTime later = end_.addSecs(3600);
    writeRun(log, later, later.addSecs(60));
    EXPECT_EQ(test::readFile(logPath()),
              joinLines(expectedRun(start_, end_) + expectedRun(later, later.addSecs(60))));
}

TEST_F(ExportLogTest, SourceActionTextsShareOneLine) {
    struct Case {
        bool markRead;
        bool deleted;
        QString line;
    };
    const Case cases[] = {
        {true, true, QStringLiteral("Source Messages: Marked as ReadSource Messages: Deleted")},
        {true, false, QStringLiteral("Source Messages: Marked as Read")},
        {false, true, QStringLiteral("Source Messages: Deleted")},
    };
    for (const Case& c : cases) {
        QTemporaryDir dir;
        const QString path = QDir(dir.path()).filePath(QStringLiteral("Parcelo.log"));
        writeRun(ExportLog(path), start_, end_, c.markRead, c.deleted);
        EXPECT_EQ(test::readFile(path), joinLines(expectedRun(start_, end_, c.line)));
    }
}

TEST_F(ExportLogTest, CountsAndNonAsciiTexts) {
    EXPECT_EQ(FolderBlockText({QString(), 0, 0, false, false}),
              QStringLiteral("Mailbox: \r\nNumber of Scanned Messages: Zero\r\n"
                             "Number of Exported Messages: Zero\r\n\r\n"));
    EXPECT_EQ(FolderBlockText({QStringLiteral("Входящие"), 1234, 2, false, false}),
              QStringLiteral("Mailbox: Входящие\r\nNumber of Scanned Messages: 1234\r\n"
                             "Number of Exported Messages: 2\r\n\r\n"));
    const ExportLog log(logPath());
    ASSERT_TRUE(log.writeFolderBlock({QStringLiteral("Входящие"), 0, 0, false, false}));
    ASSERT_TRUE(log.writeRunFooter({QStringLiteral("Subject contains \"日本\""), 0, 0}, end_));
    const QByteArray bytes = test::readFile(logPath());
    EXPECT_TRUE(bytes.startsWith("Mailbox: \xD0\x92\xD1\x85"));
    EXPECT_TRUE(
        bytes.contains("Applied Filter(s): Subject contains \"\xE6\x97\xA5\xE6\x9C\xAC\"\r\n"));
    EXPECT_TRUE(bytes.contains("Total number of scanned messages: Zero\r\n"));
}

TEST_F(ExportLogTest, AppendTextToFile) {
    EXPECT_FALSE(AppendTextToFile(logPath(), QString(), QStringLiteral("\r\n")));
    EXPECT_FALSE(QFile::exists(logPath()));
    EXPECT_TRUE(AppendTextToFile(logPath(), QStringLiteral("a"), QStringLiteral("\r\n")));
    EXPECT_TRUE(AppendTextToFile(logPath(), QStringLiteral("\r\n"), QStringLiteral("\r\n")));
    EXPECT_EQ(test::readFile(logPath()), QByteArray("a\r\n\r\n\r\n"));
    EXPECT_FALSE(AppendTextToFile(dir_.path(), QStringLiteral("a"), QStringLiteral("\r\n")));
}

TEST_F(ExportLogTest, FailedAppendLeavesNoHalfRecord) {
    ASSERT_TRUE(AppendTextToFile(logPath(), QStringLiteral("first"), QStringLiteral("\r\n")));
    {
        test::ScopedFileSizeLimit limit(100);
        QString error;
        EXPECT_FALSE(
            AppendTextToFile(logPath(), QString(500, u'x'), QStringLiteral("\r\n"), &error));
        EXPECT_EQ(error, "File too large");
    }
    {
        test::ScopedFileSizeLimit limit(8);
        const ExportLog log(logPath());
        EXPECT_FALSE(log.writeRunHeader(start_));
        EXPECT_EQ(log.lastError(), "File too large");
    }
    EXPECT_EQ(test::readFile(logPath()), QByteArray("first\r\n"));
}

TEST_F(ExportLogTest, WriteTextFileReplacesWholly) {
    ASSERT_TRUE(WriteTextFile(logPath(), QStringLiteral("old text")));
    EXPECT_TRUE(WriteTextFile(logPath(), QStringLiteral("né")));
    EXPECT_EQ(test::readFile(logPath()), QByteArray("n\xC3\xA9"));
    {
        test::ScopedFileSizeLimit limit(100);
        EXPECT_FALSE(WriteTextFile(logPath(), QString(500, u'x')));
    }
    EXPECT_EQ(test::readFile(logPath()), QByteArray("n\xC3\xA9"));
    EXPECT_FALSE(WriteTextFile(dir_.path(), QStringLiteral("x")));
}

} // namespace

TEST_F(ExportLogTest, FooterSaysWhatTheHeaderAndAttachmentChoicesDid) {
    struct Case {
        int headers;
        int attachments;
        QStringList headerNames;
        QStringList attachmentNames;
        AttachmentTally tally;
        const char* headersLine;
        const char* attachmentsLine;
    };
    const Case cases[] = {
        {1,
         0,
         {"Subject", "From"},
         {"a.pdf"},
         {0, 5, 3, 1},
         "Exported Headers: Some: Subject, From",
         "Exported Attachments: None (left out 5 from 3 messages; 1 messages kept only their "
         "header)"},
        {2,
         1,
         {"Subject"},
         {"a.pdf", "b c.zip"},
         {2, 4, 4, 0},
         "Exported Headers: All",
         "Exported Attachments: Some: a.pdf, b c.zip (kept 2, left out 4 from 4 messages)"},
        {1,
         7,
         {},
         {},
         {},
         "Exported Headers: Some: (no names listed)",
         "Exported Attachments: None (left out 0 from 0 messages)"},
        {0, 2, {"Subject"}, {"a.pdf"}, {}, "Exported Headers: None", "Exported Attachments: All"},
    };
    for (const Case& c : cases) {
        const RunLogFooter footer{
            QStringLiteral("None"), 1,      3, c.headers, c.attachments, c.headerNames,
            c.attachmentNames,      c.tally};
        const QStringList lines = RunFooterText(footer, end_).split(QStringLiteral("\r\n"));
        ASSERT_EQ(lines.size(), 7);
        EXPECT_EQ(lines[2], QString::fromUtf8(c.headersLine));
        EXPECT_EQ(lines[3], QString::fromUtf8(c.attachmentsLine));
    }
}
