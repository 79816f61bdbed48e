// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/CliProcess.h"

#include <QDir>
#include <QTemporaryDir>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace parcelo;

namespace {

// A name that is not UTF-8 ("Entw\xFC" "rfe", Latin-1) and the name a lossy decoding makes of
// it (U+FFFD in UTF-8): a change of the mailbox under the first must never reach the second.
const QByteArray kLatin1 = QByteArrayLiteral("Entw\xFC"
                                             "rfe");
const QByteArray kLookalike = QByteArrayLiteral("Entw\xEF\xBF\xBD"
                                                "rfe");

std::string Mailbox(int count, const char* tag) {
    std::string bytes;
    for (int i = 0; i < count; ++i)
        bytes +=
            "From - Mon Jan  5 10:00:00 2009\nFrom: ann@example.com\nSubject: " + std::string(tag) +
            ' ' + std::to_string(i) + "\nDate: Mon, 05 Jan 2009 10:00:00 +0000\n\nbody " +
            std::to_string(i) + "\n\n";
    return bytes;
}

bool WriteRaw(const QByteArray& path, const std::string& bytes) {
    FILE* file = std::fopen(path.constData(), "wb");
    if (!file)
        return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

std::string ReadRaw(const QByteArray& path) {
    std::string bytes;
    FILE* file = std::fopen(path.constData(), "rb");
    if (!file)
        return "(missing)";
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        bytes.append(buffer, n);
    std::fclose(file);
    return bytes;
}

// Every entry under the directory, by its path below it.
std::set<std::string> Entries(const QByteArray& directory) {
    std::set<std::string> entries;
    const std::filesystem::path root(directory.toStdString());
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
        entries.insert(entry.path().lexically_relative(root).native());
    return entries;
}

// The two mailboxes whose names differ in the same way: in their folders' names, or in their
// own names.
struct Layout {
    const char* name;
    QByteArray latin1;    // the mailbox exported, below the store
    QByteArray lookalike; // the other one
    QString treePath;
};

void PrintTo(const Layout& layout, std::ostream* os) {
    *os << layout.name;
}

class UndecodableFolderRewriteTest : public ::testing::TestWithParam<Layout> {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        store = QFile::encodeName(tmp.filePath("Local Folders"));
        latin1 = store + '/' + GetParam().latin1;
        lookalike = store + '/' + GetParam().lookalike;
        ASSERT_EQ(::mkdir(store.constData(), 0700), 0);
        for (const QByteArray& mailbox : {latin1, lookalike}) {
            const QByteArray folder = mailbox.left(mailbox.lastIndexOf('/'));
            ASSERT_TRUE(folder == store || ::mkdir(folder.constData(), 0700) == 0);
        }
        ASSERT_TRUE(WriteRaw(latin1, Mailbox(5, "latin1")));
        ASSERT_TRUE(WriteRaw(lookalike, Mailbox(50, "lookalike")));
        entries = Entries(store);
    }
    void TearDown() override { std::filesystem::remove_all(store.toStdString()); }

    // Exports the Latin-1 mailbox, deleting what it exported and compacting.
    test::CliProcessResult exportDeleting() {
        const QString dest = tmp.filePath("out");
        QDir().mkpath(dest);
        return test::RunCliProcess(tmp.path(), {"export", "--store", QFile::decodeName(store),
                                                "--dest", dest, "--app-folder", tmp.filePath("app"),
                                                "--folder", GetParam().treePath, "--set",
                                                "ActionDelete=1", "--set", "CompactMailboxes=1"});
    }

    QTemporaryDir tmp;
    QByteArray store;
    QByteArray latin1;
    QByteArray lookalike;
    std::set<std::string> entries; // as made
};

TEST_P(UndecodableFolderRewriteTest, RewritesOnlyTheMailboxItExported) {
    const test::CliProcessResult run = exportDeleting();
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, "Task completed. 5 messages exported.\n");

    EXPECT_EQ(ReadRaw(latin1), "");
    EXPECT_EQ(ReadRaw(lookalike), Mailbox(50, "lookalike"));
    // No lock, index or temporary file is left anywhere.
    EXPECT_EQ(Entries(store), entries);
}

// The dot-lock is the one beside the mailbox that changes: a live lock there holds the change
// back, one beside the lookalike does not.
TEST_P(UndecodableFolderRewriteTest, TheDotLockIsTheOneBesideTheRealFile) {
    const std::string ownPid = std::to_string(::getpid()) + '\n';
    for (const bool besideReal : {true, false}) {
        SCOPED_TRACE(besideReal ? "lock beside the real file" : "lock beside the lookalike");
        const QByteArray lock = (besideReal ? latin1 : lookalike) + ".lock";
        ASSERT_TRUE(WriteRaw(lock, ownPid));
        const test::CliProcessResult run = exportDeleting();
        ::unlink(lock.constData());
        EXPECT_EQ(ReadRaw(lookalike), Mailbox(50, "lookalike"));
        if (besideReal) {
            EXPECT_EQ(run.exitCode, 3);
            EXPECT_TRUE(run.err.contains("locked by process")) << run.err.toStdString();
            EXPECT_EQ(ReadRaw(latin1), Mailbox(5, "latin1"));
        } else {
            EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
            EXPECT_EQ(ReadRaw(latin1), "");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Names, UndecodableFolderRewriteTest,
    ::testing::Values(Layout{"FolderNames", kLatin1 + ".sbd/Inbox", kLookalike + ".sbd/Inbox",
                             "Local Folders\\Entw%FCrfe\\Inbox"},
                      Layout{"MailboxNames", kLatin1, kLookalike, "Local Folders\\Entw%FCrfe"}),
    [](const ::testing::TestParamInfo<Layout>& info) { return std::string(info.param.name); });

} // namespace
