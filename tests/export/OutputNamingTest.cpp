// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/naming/BuildMessageFilePath.h"
#include "export/naming/MessageDestination.h"
#include "export/output/EnsureDirectoryPath.h"
#include "export/output/FileChecks.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace parcelo;

namespace {

const QString kDate = QStringLiteral("March 05. 2009 07h 41m");

DestinationRequest fullMessage(int folderOption, int fileOption) {
    DestinationRequest r;
    r.folderOption = folderOption;
    r.fileOption = fileOption;
    r.extension = QStringLiteral("eml");
    r.root = QStringLiteral("/dest/");
    r.folderName = QStringLiteral("Inbox");
    r.treePath = QStringLiteral("Local Folders\\Inbox\\Work");
    r.sender = QStringLiteral("O'Brien: Pat");
    r.subject = QStringLiteral("Hello?");
    r.sentDateText = kDate;
    return r;
}

DestinationRequest bareMessage(int folderOption, int fileOption) {
    DestinationRequest r = fullMessage(folderOption, fileOption);
    r.sender.clear();
    r.subject.clear();
    r.sentDateText = QStringLiteral("Invalid DateTime");
    return r;
}

struct FolderCase {
    int option;
    QStringList full;
    QStringList bare;
};

TEST(DestinationOfMessage, SubFolderOfEveryFolderOption) {
    const QStringList root;
    const FolderCase cases[] = {
        {-1, {}, {}},
        {0, {}, {}},
        {1,
         {QStringLiteral("Local Folders"), QStringLiteral("Inbox"), QStringLiteral("Work")},
         {QStringLiteral("Local Folders"), QStringLiteral("Inbox"), QStringLiteral("Work")}},
        {2, {QStringLiteral("Inbox")}, {QStringLiteral("Inbox")}},
        {3, {QStringLiteral("OBrien Pat")}, {QStringLiteral("No Name")}},
        {4, {QStringLiteral("Hello")}, {QStringLiteral("No Name")}},
        {5, {kDate}, {QStringLiteral("Invalid DateTime")}},
        {6, {}, {}},
    };
    for (const FolderCase& c : cases) {
        const MessageDestination full = DestinationOfMessage(fullMessage(c.option, 2));
        const MessageDestination bare = DestinationOfMessage(bareMessage(c.option, 2));
        EXPECT_TRUE(full.valid) << c.option;
        EXPECT_EQ(full.root, QStringLiteral("/dest"));
        EXPECT_EQ(full.subFolder, c.full) << "option " << c.option;
        EXPECT_EQ(bare.subFolder, c.bare) << "option " << c.option;
        EXPECT_EQ(full.directory, c.full.isEmpty() ? QStringLiteral("/dest")
                                                   : QStringLiteral("/dest/") + c.full.join(u'/'));
    }
}

TEST(DestinationOfMessage, NameOfEveryFileOption) {
    const QString s = QStringLiteral("OBrien Pat");
    const QString t = QStringLiteral("Hello");
    const QString d = kDate;
    // Pieces are joined before cleaning, so the "?" of the subject goes in every form.
    const QString full[] = {QStringLiteral("message"),
                            s,
                            t,
                            d,
                            s + u'-' + t + u'-' + d,
                            s + u'-' + d + u'-' + t,
                            t + u'-' + s + u'-' + d,
                            t + u'-' + d + u'-' + s,
                            d + u'-' + t + u'-' + s,
                            d + u'-' + s + u'-' + t,
                            QStringLiteral("message")};
    const QString invalid = QStringLiteral("Invalid DateTime");
    const QString bare[] = {QStringLiteral("message"),      QStringLiteral("No Name"),
                            QStringLiteral("No Name"),      invalid,
                            QStringLiteral("--") + invalid, u'-' + invalid + u'-',
                            QStringLiteral("--") + invalid, u'-' + invalid + u'-',
                            invalid + QStringLiteral("--"), invalid + QStringLiteral("--"),
                            QStringLiteral("message")};
    for (int option = 0; option <= 10; ++option) {
        EXPECT_EQ(DestinationOfMessage(fullMessage(0, option)).name, full[option]) << option;
        EXPECT_EQ(DestinationOfMessage(bareMessage(0, option)).name, bare[option]) << option;
    }
    DestinationRequest noDate = bareMessage(0, 4);
    noDate.sentDateText.clear();
    EXPECT_EQ(DestinationOfMessage(noDate).name, QStringLiteral("--"));
    EXPECT_EQ(DestinationOfMessage(fullMessage(0, 2)).extension, QStringLiteral("eml"));
}

TEST(DestinationOfMessage, TrimsWhiteSpaceAndDotsOfSubFolder) {
    DestinationRequest r = fullMessage(2, 2);
    r.folderName = QStringLiteral(" .Inbox. ");
    EXPECT_EQ(DestinationOfMessage(r).subFolder, QStringList{QStringLiteral("Inbox")});
    r.folderName = QStringLiteral(" . .. ");
    EXPECT_TRUE(DestinationOfMessage(r).subFolder.isEmpty());
    EXPECT_EQ(DestinationOfMessage(r).directory, QStringLiteral("/dest"));
    r = fullMessage(1, 2);
    r.treePath = QStringLiteral(" Local Folders\\Inbox. ");
    EXPECT_EQ(DestinationOfMessage(r).subFolder,
              (QStringList{QStringLiteral("Local Folders"), QStringLiteral("Inbox")}));
}

TEST(DestinationOfMessage, TreePathThatCouldLeaveTheRootIsInvalid) {
    for (const QString& tree :
         {QStringLiteral("Local Folders\\Bad:Name\\Sub"), QStringLiteral("Local Folders\\..\\x"),
          QStringLiteral("Local Folders\\.\\x"), QStringLiteral("Local Folders\\a/../../etc")}) {
        DestinationRequest r = fullMessage(1, 2);
        r.treePath = tree;
        EXPECT_FALSE(DestinationOfMessage(r).valid) << tree.toStdString();
    }
}

TEST(DestinationOfMessage, RootIsCleanedNeverChecked) {
    DestinationRequest r = fullMessage(2, 2);
    r.root = QStringLiteral("/dest/./a/../b:c//");
    const MessageDestination dest = DestinationOfMessage(r);
    EXPECT_TRUE(dest.valid);
    EXPECT_EQ(dest.directory, QStringLiteral("/dest/b:c/Inbox"));
    r.root = QStringLiteral("/");
    EXPECT_EQ(DestinationOfMessage(r).directory, QStringLiteral("/Inbox"));
}

TEST(DestinationOfMessage, LongSubjectFolderFitsOneName) {
    DestinationRequest r = fullMessage(4, 2);
    r.subject = QString(200, QChar(0x0416)); // 400 bytes of UTF-8
    const MessageDestination dest = DestinationOfMessage(r);
    ASSERT_EQ(dest.subFolder.size(), 1);
    EXPECT_EQ(dest.subFolder.first(), QString(127, QChar(0x0416)));
    EXPECT_TRUE(dest.valid);
}

class NamingOnDisk : public ::testing::Test {
protected:
    QString path(const QString& relative) const { return QDir(dir_.path()).filePath(relative); }
    QTemporaryDir dir_;
};

TEST_F(NamingOnDisk, EnsureDirectoryPathCreatesEachLevel) {
    EXPECT_TRUE(EnsureDirectoryPath(dir_.path(),
                                    {QStringLiteral("Local Folders"), QStringLiteral("Inbox")}));
    EXPECT_TRUE(QFileInfo(path(QStringLiteral("Local Folders/Inbox"))).isDir());
    EXPECT_TRUE(EnsureDirectoryPath(dir_.path(), {QStringLiteral("Local Folders")}));
    EXPECT_TRUE(EnsureDirectoryPath(dir_.path(), {}));
    EXPECT_FALSE(EnsureDirectoryPath(path(QStringLiteral("missing")), {}));
}

TEST_F(NamingOnDisk, EnsureDirectoryPathChecksEveryNameFirst) {
    EXPECT_FALSE(EnsureDirectoryPath(dir_.path(), {QStringLiteral("a"), QStringLiteral("b:c")}));
    EXPECT_FALSE(EnsureDirectoryPath(
        dir_.path(), {QStringLiteral("x"), QStringLiteral(".."), QStringLiteral("y")}));
    EXPECT_TRUE(QDir(dir_.path()).isEmpty()); // nothing created, not even "a" or "x"
}

TEST_F(NamingOnDisk, EnsureDirectoryPathFailsOverAFile) {
    ASSERT_TRUE(QFile(path(QStringLiteral("Inbox"))).open(QIODevice::WriteOnly));
    EXPECT_FALSE(EnsureDirectoryPath(dir_.path(), {QStringLiteral("Inbox")}));
}

TEST_F(NamingOnDisk, NumberedNamesAreReserved) {
    const QString ext = QStringLiteral("eml");
    const QString first =
        BuildMessageFilePath(dir_.path() + u'/', QStringLiteral("Hello"), ext, true, true);
    EXPECT_EQ(first, path(QStringLiteral("Hello.eml")));
    EXPECT_TRUE(FileExists(first));
    EXPECT_EQ(BuildMessageFilePath(dir_.path(), QStringLiteral("Hello"), ext, true, true),
              path(QStringLiteral("Hello_1.eml")));
    EXPECT_EQ(BuildMessageFilePath(dir_.path(), QStringLiteral("Hello"), ext, true, true),
              path(QStringLiteral("Hello_2.eml")));
    // Without makeUnique and reserve the plain name is only computed.
    EXPECT_EQ(BuildMessageFilePath(dir_.path(), QStringLiteral("Re: Hi!"), ext, false, false),
              path(QStringLiteral("Re Hi.eml")));
    EXPECT_FALSE(FileExists(path(QStringLiteral("Re Hi.eml"))));
}

TEST_F(NamingOnDisk, NoSubjectMakesAHiddenFile) {
    const struct {
        const char* subject;
        const char* file;
    } cases[] = {{"......etcpasswd", "etcpasswd.eml"},
                 {"...", "No Name.eml"},
                 {". ./x", " .x.eml"},
                 {"a.b.", "a.b..eml"}};
    for (const auto& c : cases)
        EXPECT_EQ(BuildMessageFilePath(dir_.path(), QString::fromUtf8(c.subject),
                                       QStringLiteral("eml"), true, true),
                  path(QString::fromUtf8(c.file)))
            << c.subject;
}

TEST_F(NamingOnDisk, NumberedLongNameStaysWithinOneName) {
    const QString subject(300, u's');
    const QString first =
        BuildMessageFilePath(dir_.path(), subject, QStringLiteral("e"), true, true);
    EXPECT_EQ(QFileInfo(first).fileName(), QString(250, u's') + QStringLiteral(".e"));
    const QString second =
        BuildMessageFilePath(dir_.path(), subject, QStringLiteral("e"), true, true);
    EXPECT_EQ(QFileInfo(second).fileName(), QString(250, u's') + QStringLiteral("_1.e"));

    // With "eml" the 250 characters, "_1" and ".eml" would be 256 bytes: the name gives way.
    const QString a = BuildMessageFilePath(dir_.path(), subject, QStringLiteral("eml"), true, true);
    EXPECT_EQ(QFileInfo(a).fileName(), QString(250, u's') + QStringLiteral(".eml"));
    const QString b = BuildMessageFilePath(dir_.path(), subject, QStringLiteral("eml"), true, true);
    EXPECT_EQ(QFileInfo(b).fileName(), QString(249, u's') + QStringLiteral("_1.eml"));
    EXPECT_TRUE(FileExists(b));
}

TEST_F(NamingOnDisk, MultiByteSubjectsAreCutToBytes) {
    struct Case {
        QString subject;
        QString firstName;
        QString numberedName;
    };
    const QChar zhe(0x0416); // two bytes in UTF-8
    const QChar shi(0x4E16); // three bytes
    const Case cases[] = {
        {QString(200, zhe), QString(125, zhe), QString(124, zhe)},
        {QString(200, shi), QString(83, shi), QString(83, shi)},
    };
    for (const Case& c : cases) {
        const QString first =
            BuildMessageFilePath(dir_.path(), c.subject, QStringLiteral("eml"), true, true);
        const QString second =
            BuildMessageFilePath(dir_.path(), c.subject, QStringLiteral("eml"), true, true);
        EXPECT_EQ(QFileInfo(first).fileName(), c.firstName + QStringLiteral(".eml"));
        EXPECT_EQ(QFileInfo(second).fileName(), c.numberedName + QStringLiteral("_1.eml"));
        EXPECT_LE(QFileInfo(second).fileName().toUtf8().size(), 255);
        EXPECT_TRUE(FileExists(first) && FileExists(second));
    }
}

TEST_F(NamingOnDisk, NameThatCannotFitIsNotWritten) {
    EXPECT_TRUE(
        BuildMessageFilePath(dir_.path(), QStringLiteral("a"), QString(254, u'e'), true, true)
            .isEmpty());
    EXPECT_TRUE(
        BuildMessageFilePath(dir_.path(), QStringLiteral("a"), QStringLiteral("x/../y"), true, true)
            .isEmpty());
    EXPECT_TRUE(QDir(dir_.path()).isEmpty());
    // An empty extension is used as it is.
    EXPECT_EQ(BuildMessageFilePath(dir_.path(), QStringLiteral("a"), QString(), true, true),
              path(QStringLiteral("a.")));
}

TEST_F(NamingOnDisk, DirectoryOfTheSameNameIsNotTakenButBlocksTheFile) {
    ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("Hello.eml")));
    EXPECT_FALSE(FileExists(path(QStringLiteral("Hello.eml"))));
    EXPECT_TRUE(DirectoryExists(path(QStringLiteral("Hello.eml"))));
    EXPECT_TRUE(BuildMessageFilePath(dir_.path(), QStringLiteral("Hello"), QStringLiteral("eml"),
                                     true, true)
                    .isEmpty());
}

TEST(FileChecks, ShortPathsAreNeverThere) {
    EXPECT_FALSE(DirectoryExists(QStringLiteral("/")));
    EXPECT_FALSE(DirectoryExists(QString()));
    EXPECT_TRUE(DirectoryExists(QStringLiteral("/tmp")));
    EXPECT_FALSE(FileExists(QStringLiteral("/tm")));
}

} // namespace
