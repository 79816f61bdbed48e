// SPDX-License-Identifier: GPL-3.0-or-later
#include "mime/NameList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace parcelo;

namespace {

void Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray Read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST(NameList, LoadSkipsBlanksRepeatsAndTrailingWhiteSpace) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Headers.lst"));
    Write(path, "Subject\r\n\r\nX-Mailer  \r\nSubject\nsubject\t\n   \r\nLast");
    QStringList list{QStringLiteral("old")};
    LoadNameList(path, list);
    EXPECT_EQ(list, (QStringList{QStringLiteral("Subject"), QStringLiteral("X-Mailer"),
                                 QStringLiteral("subject"), QStringLiteral("Last")}));

    QStringList kept{QStringLiteral("kept")};
    LoadNameList(dir.filePath(QStringLiteral("missing.lst")), kept);
    EXPECT_EQ(kept, QStringList{QStringLiteral("kept")});
}

TEST(NameList, SaveWritesCrLfLinesAndReadsBack) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Attachments.lst"));
    const QStringList names{QStringLiteral("My Document.doc"), QString(),
                            QStringLiteral("R\u00e9sum\u00e9.pdf")};
    EXPECT_TRUE(SaveNameList(names, path));
    EXPECT_EQ(Read(path), QByteArray("My Document.doc\r\nR\xC3\xA9sum\xC3\xA9.pdf\r\n"));
    QStringList loaded;
    LoadNameList(path, loaded);
    EXPECT_EQ(loaded, (QStringList{names[0], names[2]}));
}

TEST(NameList, EmptyListEmptiesAFileAndCreatesNone) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Headers.lst"));
    Write(path, "Subject\r\n");
    EXPECT_TRUE(SaveNameList(path, QStringList{}));
    EXPECT_TRUE(QFileInfo::exists(path));
    EXPECT_EQ(QFileInfo(path).size(), 0);
    const QString fresh = dir.filePath(QStringLiteral("none.lst"));
    EXPECT_TRUE(SaveNameList(QStringList{QString()}, fresh));
    EXPECT_FALSE(QFileInfo::exists(fresh));
}

TEST(NameList, FailedSaveKeepsTheOldFile) {
    QTemporaryDir dir;
    // A folder where the file should be: the write fails and nothing is destroyed.
    const QString path = dir.filePath(QStringLiteral("Headers.lst"));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("Headers.lst")));
    EXPECT_FALSE(SaveNameList(QStringList{QStringLiteral("Subject")}, path));
    EXPECT_TRUE(QFileInfo(path).isDir());
    EXPECT_FALSE(SaveNameList(QStringList{QStringLiteral("Subject")},
                              dir.filePath(QStringLiteral("no/such/dir/Headers.lst"))));
}
