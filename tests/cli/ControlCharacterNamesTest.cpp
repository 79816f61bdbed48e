// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/CliProcess.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace parcelo;

namespace {

// Encoded words may carry line ends, escapes and characters that turn text around; none of
// them may reach a file or folder name, where they break listings and terminals or make a
// name read as something else.
QByteArray encodedWord(const QString& text) {
    return "=?utf-8?B?" + text.toUtf8().toBase64() + "?=";
}

const QString kSubject = QString::fromUtf16(u"a\nb\x1b"
                                            u"c\x202E"
                                            u"d");
const QString kSender = QString::fromUtf16(u"Ann\r\x2066"
                                           u"Lee\x0085\x200F"
                                           u"x\x7F");
// A mailbox whose name itself holds a right-to-left override and a left-to-right mark.
const QString kMailbox = QString::fromUtf16(u"In\x202E"
                                            u"box\x200E");

struct NamingCase {
    const char* name;
    QStringList settings;
    QString expectedFile; // relative to the destination
};

void PrintTo(const NamingCase& c, std::ostream* os) {
    *os << c.name;
}

class ControlCharacterNamesTest : public ::testing::TestWithParam<NamingCase> {};

// Python's unicodedata, not our own table, says which characters must not be in a name.
void expectNoControlsInNames(const QString& dest) {
    if (QStandardPaths::findExecutable(QStringLiteral("python3")).isEmpty())
        GTEST_SKIP() << "python3 missing";
    const char* script = R"(
import os, sys, unicodedata
explicit = {'LRE', 'RLE', 'PDF', 'LRO', 'RLO', 'LRI', 'RLI', 'FSI', 'PDI'}
marks = {'LEFT-TO-RIGHT MARK', 'RIGHT-TO-LEFT MARK', 'ARABIC LETTER MARK'}
bad = []
for root, dirs, files in os.walk(sys.argv[1].encode()):
    for name in dirs + files:
        text = name.decode('utf-8')
        for ch in text:
            if (unicodedata.category(ch) == 'Cc' or unicodedata.bidirectional(ch) in explicit
                    or unicodedata.name(ch, '') in marks):
                bad.append(name)
                break
if bad:
    sys.exit('names with control or direction characters: %r' % bad)
)";
    QProcess python;
    python.start("python3", {"-c", script, dest});
    ASSERT_TRUE(python.waitForFinished(60000));
    EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
}

TEST_P(ControlCharacterNamesTest, ExportedNamesHoldNone) {
    const NamingCase& c = GetParam();
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString store = tmp.filePath("Local Folders");
    ASSERT_TRUE(QDir().mkpath(store));
    const QByteArray mbox = "From - Mon Jan  5 10:00:00 2009\n"
                            "From: " +
                            encodedWord(kSender) +
                            " <ann@example.com>\n"
                            "Subject: " +
                            encodedWord(kSubject) +
                            "\n"
                            "Date: Mon, 05 Jan 2009 10:00:00 +0000\n\nbody\n";
    ASSERT_TRUE(test::writeFile(store + u'/' + kMailbox, mbox));
    const QString dest = tmp.filePath("out");
    ASSERT_TRUE(QDir().mkpath(dest));

    QStringList arguments = {"export",       "--store",          store, "--dest", dest,
                             "--app-folder", tmp.filePath("app")};
    for (const QString& setting : c.settings)
        arguments << "--set" << setting;
    const test::CliProcessResult run = test::RunCliProcess(tmp.path(), arguments);
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();

    EXPECT_TRUE(QFileInfo(dest + u'/' + c.expectedFile).isFile())
        << c.expectedFile.toStdString() << " missing";
    expectNoControlsInNames(dest);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, ControlCharacterNamesTest,
    ::testing::Values(
        NamingCase{"SubjectFile", {"FolderOption=0", "FileOption=2"}, "abcd.eml"},
        NamingCase{"SenderFile", {"FolderOption=0", "FileOption=1"}, "Ann Leex.eml"},
        NamingCase{"MailboxFolder", {"FolderOption=2", "FileOption=2"}, "Inbox/abcd.eml"},
        NamingCase{"SubjectFolder", {"FolderOption=4", "FileOption=1"}, "abcd/Ann Leex.eml"},
        NamingCase{"SenderFolder", {"FolderOption=3", "FileOption=2"}, "Ann Leex/abcd.eml"},
        NamingCase{
            "TreePathFolders", {"FolderOption=1", "FileOption=2"}, "Local Folders/Inbox/abcd.eml"}),
    [](const ::testing::TestParamInfo<NamingCase>& info) { return std::string(info.param.name); });

} // namespace
