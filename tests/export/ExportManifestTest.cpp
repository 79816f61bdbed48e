// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/manifest/ExportManifest.h"

#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace parcelo;

namespace {

SourceFingerprint fingerprint(const std::string& text) {
    return Sha256::of(text);
}

FileIdentity identityOf(const QString& path) {
    struct stat st {};
    EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0) << path.toStdString();
    return FileIdentity::of(st);
}

class ExportManifestTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(root.isValid() && other.isValid()); }

    bool open(ExportManifest& manifest) {
        QString error;
        const bool opened = manifest.open(root.path(), QDateTime::currentDateTimeUtc(), &error);
        lastError = error;
        return opened;
    }

    // A message file in the root and the note of it, as the writing side makes them; settled
    // as placed, as the run does once the file has its name, unless told otherwise.
    qint64 place(ExportManifest& manifest, const std::string& message, const QString& name,
                 const QByteArray& bytes = "bytes", bool settle = true) {
        const QString path = root.filePath(name);
        EXPECT_TRUE(test::writeFile(path, bytes));
        qint64 offset = -1;
        QString error;
        EXPECT_TRUE(manifest.notePlacing(fingerprint(message), path, bytes.size(), identityOf(path),
                                         "<" + QByteArray(message.c_str()) + ">", &offset, &error))
            << error.toStdString();
        if (settle) {
            EXPECT_TRUE(manifest.settle(fingerprint(message), offset, true, &error));
        }
        return offset;
    }

    std::optional<ExportManifest::Found> find(ExportManifest& manifest,
                                              const std::string& message) {
        std::optional<ExportManifest::Found> found;
        QString error;
        EXPECT_TRUE(manifest.find(fingerprint(message), &found, &error)) << error.toStdString();
        return found;
    }

    QString listFile() const { return ExportManifest::FileOf(root.path()); }

    QTemporaryDir root;
    QTemporaryDir other;
    QString lastError;
};

} // namespace

TEST_F(ExportManifestTest, RecordsOutliveTheRunAndTheLatestOfAMessageCounts) {
    {
        ExportManifest manifest;
        ASSERT_TRUE(open(manifest));
        EXPECT_FALSE(find(manifest, "a"));
        place(manifest, "a", "a.eml");
        place(manifest, "b", "b.eml");
        // The same message again, under another name: the later file is the one that counts.
        place(manifest, "a", "a (1).eml", "longer bytes");
        const auto a = find(manifest, "a");
        ASSERT_TRUE(a);
        EXPECT_TRUE(a->thisRun);
        EXPECT_EQ(a->path, root.filePath("a (1).eml"));
        EXPECT_TRUE(manifest.close());
    }
    ExportManifest manifest;
    ASSERT_TRUE(open(manifest)) << lastError.toStdString();
    const auto a = find(manifest, "a");
    ASSERT_TRUE(a);
    EXPECT_FALSE(a->thisRun);
    EXPECT_EQ(a->path, root.filePath("a (1).eml"));
    EXPECT_EQ(a->record.size, 12);
    EXPECT_EQ(a->record.messageId, "<a>");
    EXPECT_EQ(a->record.identity.inode, identityOf(a->path).inode);
    QString why;
    EXPECT_TRUE(ExportManifest::FileStands(a->path, a->record, &why)) << why.toStdString();
    ASSERT_TRUE(find(manifest, "b"));
    EXPECT_FALSE(find(manifest, "c"));
}

TEST_F(ExportManifestTest, AMessageCountsAsExportedOnceItsLastNotedFileGotItsName) {
    ExportManifest manifest;
    ASSERT_TRUE(open(manifest));
    QString error;
    // Noted, then not placed.
    const qint64 first = place(manifest, "a", "a.eml", "bytes", false);
    EXPECT_FALSE(find(manifest, "a"));
    EXPECT_TRUE(manifest.settle(fingerprint("a"), first, false, &error));
    EXPECT_FALSE(find(manifest, "a"));

    // A name that was taken, then the next: the later note is the file.
    place(manifest, "b", "b.eml", "bytes", false);
    const qint64 next = place(manifest, "b", "b_1.eml", "bytes", false);
    EXPECT_TRUE(manifest.settle(fingerprint("b"), next, true, &error));
    ASSERT_TRUE(find(manifest, "b"));
    EXPECT_EQ(find(manifest, "b")->path, root.filePath("b_1.eml"));
    manifest.close();

    ExportManifest again;
    ASSERT_TRUE(open(again));
    EXPECT_FALSE(find(again, "a"));
    ASSERT_TRUE(find(again, "b"));
    EXPECT_EQ(find(again, "b")->path, root.filePath("b_1.eml"));
}

TEST_F(ExportManifestTest, ManyRecordsAreAllFoundAsTheTableGrows) {
    constexpr int kCount = 20000; // the table doubles several times from its first size
    {
        ExportManifest manifest;
        ASSERT_TRUE(open(manifest));
        QString error;
        for (int i = 0; i < kCount; ++i) {
            qint64 offset = 0;
            ASSERT_TRUE(manifest.notePlacing(fingerprint(std::to_string(i)),
                                             root.filePath(QString::number(i)), i, {0, 1}, {},
                                             &offset, &error))
                << error.toStdString();
            ASSERT_TRUE(manifest.settle(fingerprint(std::to_string(i)), offset, true, &error));
        }
        ASSERT_TRUE(manifest.close());
    }
    ExportManifest manifest;
    ASSERT_TRUE(open(manifest));
    for (int i = 0; i < kCount; ++i) {
        const auto found = find(manifest, std::to_string(i));
        ASSERT_TRUE(found) << i;
        ASSERT_EQ(found->record.size, i);
    }
    for (int i = kCount; i < kCount + 1000; ++i)
        ASSERT_FALSE(find(manifest, std::to_string(i))) << i;
}

TEST_F(ExportManifestTest, OneRunAtATime) {
    ExportManifest first;
    ASSERT_TRUE(open(first));
    ExportManifest second;
    EXPECT_FALSE(open(second));
    EXPECT_EQ(lastError, "another export into the same folder is using it");
    first.close();
    EXPECT_TRUE(open(second)) << lastError.toStdString();
}

TEST_F(ExportManifestTest, ALostOrDamagedTableIsMadeAgainFromTheList) {
    {
        ExportManifest manifest;
        ASSERT_TRUE(open(manifest));
        place(manifest, "a", "a.eml");
        place(manifest, "b", "b.eml");
        manifest.close();
    }
    const QString table = listFile() + ".index";
    for (const QByteArray& damage : {QByteArray(), QByteArray(64, 'x')}) {
        SCOPED_TRACE(damage.size());
        if (damage.isEmpty())
            ASSERT_TRUE(QFile::remove(table));
        else
            ASSERT_TRUE(test::writeFile(table, damage));
        ExportManifest manifest;
        ASSERT_TRUE(open(manifest)) << lastError.toStdString();
        EXPECT_TRUE(find(manifest, "a"));
        EXPECT_TRUE(find(manifest, "b"));
        EXPECT_FALSE(find(manifest, "c"));
    }
}

TEST_F(ExportManifestTest, AListItCannotReadIsRefusedAndLeftAsItIs) {
    {
        ExportManifest manifest;
        ASSERT_TRUE(open(manifest));
        place(manifest, "a", "a.eml");
        place(manifest, "b", "b.eml");
        manifest.close();
    }
    const QByteArray good = test::readFile(listFile());
    struct Case {
        const char* label;
        QByteArray bytes;
        const char* reason;
    };
    QByteArray otherVersion = good;
    otherVersion[16] = 2;
    QByteArray flipped = good;
    flipped[24 + 40] = static_cast<char>(flipped[24 + 40] ^ 1); // inside the first record
    QByteArray badLength = good;
    badLength[24] = static_cast<char>(0xFF); // the first record's length
    badLength[25] = static_cast<char>(0xFF);
    const Case cases[] = {
        {"another program's file", "<html>\n" + good, "it is not a list of exported messages"},
        {"another format", otherVersion,
         "it was written by another version of Parcelo (format 2; this version reads format 1)"},
        {"a changed byte", flipped,
         "it is damaged at byte 24; move it aside to have every message exported again"},
        {"a wrong length", badLength,
         "it is damaged at byte 24; move it aside to have every message exported again"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ASSERT_TRUE(test::writeFile(listFile(), c.bytes));
        ExportManifest manifest;
        EXPECT_FALSE(open(manifest));
        EXPECT_EQ(lastError, c.reason);
        EXPECT_EQ(test::readFile(listFile()), c.bytes);
    }
}

// What a run killed at a given moment leaves on disk is what was written by then: a copy of
// the list taken meanwhile, opened in another root with the same message files.
TEST_F(ExportManifestTest, TheNextRunSettlesWhatAKilledRunLeft) {
    ExportManifest killed;
    ASSERT_TRUE(open(killed));
    place(killed, "placed", "placed.eml");
    place(killed, "replaced", "replaced.eml");
    place(killed, "never placed", "never placed.eml");
    QString error;
    const SourceFingerprint folder = ExportManifest::FolderKey("/store", "Local Folders\\Inbox");
    ASSERT_TRUE(killed.noteFolderRead(folder, "stamp", 4, "where it ended", &error));
    place(killed, "torn", "torn.eml", "bytes", false);
    const QString copy = ExportManifest::FolderOf(other.path());
    ASSERT_TRUE(QDir().mkpath(copy));
    for (const QString name : {"exported", "exported.index"})
        ASSERT_TRUE(
            QFile::copy(ExportManifest::FolderOf(root.path()) + "/" + name, copy + "/" + name));
    // The files that got their names stand in the other root as the very files (hard links);
    // one was replaced by another file since, one never got its name.
    ASSERT_EQ(::link(QFile::encodeName(root.filePath("placed.eml")).constData(),
                     QFile::encodeName(other.filePath("placed.eml")).constData()),
              0);
    ASSERT_TRUE(test::writeFile(other.filePath("replaced.eml"), "bytes"));
    // The last record was cut short by the kill, before its file could get its name.
    const QString list = copy + "/exported";
    const QByteArray bytes = test::readFile(list);
    ASSERT_TRUE(test::writeFile(list, bytes.left(bytes.size() - 10)));

    ExportManifest next;
    ASSERT_TRUE(next.open(other.path(), QDateTime::currentDateTimeUtc(), &error))
        << error.toStdString();
    std::optional<ExportManifest::Found> found;
    for (const auto& [message, exported] : {std::pair{"placed", true},
                                            {"replaced", false},
                                            {"never placed", false},
                                            {"torn", false}}) {
        SCOPED_TRACE(message);
        ASSERT_TRUE(next.find(fingerprint(message), &found, &error));
        EXPECT_EQ(found.has_value(), exported);
    }
    EXPECT_EQ(found, std::nullopt);
    ASSERT_TRUE(next.find(fingerprint("placed"), &found, &error));
    ASSERT_TRUE(found);
    EXPECT_EQ(found->path, other.filePath("placed.eml"));
    // The folder that run found complete held a message withdrawn now: it is read again.
    std::optional<ExportManifest::FolderRead> read;
    ASSERT_TRUE(next.findFolderRead(folder, "stamp", &read, &error));
    EXPECT_FALSE(read.has_value());
}

TEST_F(ExportManifestTest, AFolderReadCompletelyCountsWhileItsStampIsTheSame) {
    const SourceFingerprint inbox = ExportManifest::FolderKey("/store", "Local Folders\\Inbox");
    const SourceFingerprint sent = ExportManifest::FolderKey("/store", "Local Folders\\Sent");
    QString error;
    {
        ExportManifest manifest;
        ASSERT_TRUE(open(manifest));
        ASSERT_TRUE(manifest.noteFolderRead(inbox, "first", 3, "ended at 300", &error));
        ASSERT_TRUE(manifest.noteFolderRead(inbox, "second", 7, "ended at 700", &error));
        // As a list of the release before noted it: no end to read on from.
        ASSERT_TRUE(manifest.noteFolderRead(sent, "sent", 2, QByteArray(), &error));
        manifest.close();
    }
    ExportManifest manifest;
    ASSERT_TRUE(open(manifest));
    struct Case {
        SourceFingerprint folder;
        const char* stamp;
        std::optional<ExportManifest::FolderRead> read;
    };
    const Case cases[] = {
        {inbox, "second", ExportManifest::FolderRead{7, true, "ended at 700"}},
        // Changed since: what the last read found, and where it ended.
        {inbox, "first", ExportManifest::FolderRead{7, false, "ended at 700"}},
        {sent, "sent", ExportManifest::FolderRead{2, true, QByteArray()}},
        {ExportManifest::FolderKey("/other store", "Local Folders\\Inbox"), "second",
         std::nullopt},
        {ExportManifest::FolderKey("/store", "Local Folders\\Drafts"), "second", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stamp);
        std::optional<ExportManifest::FolderRead> read;
        ASSERT_TRUE(manifest.findFolderRead(c.folder, c.stamp, &read, &error));
        ASSERT_EQ(read.has_value(), c.read.has_value());
        if (read) {
            EXPECT_EQ(read->messages, c.read->messages);
            EXPECT_EQ(read->unchanged, c.read->unchanged);
            EXPECT_EQ(read->readEnd, c.read->readEnd);
        }
    }
    // A folder is no message.
    std::optional<ExportManifest::Found> found;
    ASSERT_TRUE(manifest.find(inbox, &found, &error));
    EXPECT_EQ(found, std::nullopt);
}
