// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/CliProcess.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace parcelo;

namespace {

// A message whose header has no empty line after it has an empty body (RFC 5322, 3.5): each
// store kind hands such a source to parcelo-cli, which must export it like any message. Only
// a source without line structure (lines ended by a lone CR) is left out, with a warning that
// says where the message lies.
struct SourceCase {
    const char* name;
    QByteArray source; // as stored, without the line that separates mbox messages
    QByteArray header; // the fields the file must carry, CR LF ended; empty: left out
};

const QByteArray kBefore = "From: Bob <bob@example.com>\nSubject: Before\n"
                           "Date: Mon, 05 Jan 2009 09:00:00 +0000\n\nfirst body\n";
const QByteArray kAfter = "From: Bob <bob@example.com>\nSubject: After\n"
                          "Date: Mon, 05 Jan 2009 11:00:00 +0000\n\nlast body\n";

const SourceCase kCases[] = {
    {"LineFeedEnds",
     "From: Ann <ann@example.com>\nSubject: Only a header\nDate: Mon, 05 Jan 2009 10:00:00 "
     "+0000\n",
     "From: Ann <ann@example.com>\r\nSubject: Only a header\r\nDate: Mon, 05 Jan 2009 10:00:00 "
     "+0000\r\n"},
    {"CrLfEnds",
     "From: Ann <ann@example.com>\r\nSubject: Only a header\r\nX-Folded: one\r\n two\r\n",
     "From: Ann <ann@example.com>\r\nSubject: Only a header\r\nX-Folded: one\r\n two\r\n"},
    {"LastLineWithoutLineEnd",
     "From: Ann <ann@example.com>\nDate: Mon, 05 Jan 2009 10:00:00 +0000\nSubject: Cut short",
     "From: Ann <ann@example.com>\r\nDate: Mon, 05 Jan 2009 10:00:00 +0000\r\nSubject: Cut "
     "short\r\n"},
    {"OneFieldWithoutLineEnd", "Subject: Alone", "Subject: Alone\r\n"},
    {"LastLineEndedByALoneCr", "From: Ann <ann@example.com>\nSubject: Odd end\r",
     "From: Ann <ann@example.com>\r\nSubject: Odd end\r\n"},
    {"LoneCrEnds", "From: Ann <ann@example.com>\rSubject: Lone CR\rDate: Mon, 05 Jan 2009\r", ""},
};

void PrintTo(const SourceCase& c, std::ostream* os) {
    *os << c.name;
}

struct CliResult {
    int exitCode = -1;
    QString err;
};

class HeaderOnlyExportTest : public ::testing::TestWithParam<SourceCase> {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        appFolder = tmp.filePath("app");
        ASSERT_TRUE(QDir().mkpath(appFolder));
    }

    CliResult exportStore(const QString& store, const QString& dest) {
        EXPECT_TRUE(QDir().mkpath(dest));
        const test::CliProcessResult run =
            test::RunCliProcess(tmp.path(), {"export", "--store", store, "--dest", dest,
                                             "--app-folder", appFolder, "--set", "FolderOption=0"});
        return {run.exitCode, run.err};
    }

    static QList<QByteArray> files(const QString& dest) {
        QStringList paths;
        for (QDirIterator it(dest, QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
            paths.append(it.next());
        paths.sort();
        QList<QByteArray> result;
        for (const QString& path : paths)
            result.append(test::readFile(path));
        return result;
    }

    // The file of the case's message: the others are the messages around it.
    static QByteArray caseFile(const QList<QByteArray>& exported) {
        for (const QByteArray& bytes : exported)
            if (!bytes.contains("Subject: Before\r\n") && !bytes.contains("Subject: After\r\n"))
                return bytes;
        return {};
    }

    // The case's source and its file, read by Python's email package: the same fields in
    // the same order, and a body of nothing but line ends.
    static void expectPythonReadsTheSameMessage(const QByteArray& source, const QByteArray& file,
                                                const QString& dir) {
        if (QStandardPaths::findExecutable(QStringLiteral("python3")).isEmpty())
            GTEST_SKIP() << "python3 missing";
        const QString sourcePath = dir + "/source.bin";
        const QString filePath = dir + "/file.bin";
        ASSERT_TRUE(test::writeFile(sourcePath, source) && test::writeFile(filePath, file));
        const char* script = R"(
import email, sys
from email import policy
source = email.message_from_bytes(open(sys.argv[1], 'rb').read(), policy=policy.compat32)
written = email.message_from_bytes(open(sys.argv[2], 'rb').read(), policy=policy.compat32)
theirs = [(k, v) for k, v in written.items() if k not in ('MIME-Version', 'Content-Type')]
ours = [(k, v.replace('\r\n', '\n')) for k, v in source.items()]
theirs = [(k, v.replace('\r\n', '\n')) for k, v in theirs]
if theirs != ours:
    sys.exit('fields differ: %r != %r' % (theirs, ours))
if written.defects:
    sys.exit('defects: %r' % written.defects)
if written.get_payload().strip('\r\n') != '':
    sys.exit('body is not empty: %r' % written.get_payload())
)";
        QProcess python;
        python.start("python3", {"-c", script, sourcePath, filePath});
        ASSERT_TRUE(python.waitForFinished(60000));
        EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    }

    // others: the messages of the store besides the case's.
    void expectExported(const CliResult& result, const QString& dest, const QByteArray& source,
                        qsizetype others, const QString& storeDescription) {
        const SourceCase& c = GetParam();
        SCOPED_TRACE(storeDescription.toStdString());
        const QList<QByteArray> exported = files(dest);
        if (c.header.isEmpty()) {
            EXPECT_EQ(result.exitCode, 3);
            EXPECT_EQ(exported.size(), others);
            return;
        }
        EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
        EXPECT_EQ(result.err, "");
        ASSERT_EQ(exported.size(), others + 1);
        // The header as it was, the empty line that ends it, and no body: only the closing
        // line ends that every message file gets.
        const QByteArray file = caseFile(exported);
        EXPECT_TRUE(file.endsWith("\r\n" + c.header + "\r\n" + "\r\n\r\n")) << file.toStdString();
        expectPythonReadsTheSameMessage(source, file, tmp.path());
    }

    QTemporaryDir tmp;
    QString appFolder;
};

} // namespace

TEST_P(HeaderOnlyExportTest, MboxMessageBetweenOthers) {
    const SourceCase& c = GetParam();
    const QString store = tmp.filePath("Local Folders");
    ASSERT_TRUE(QDir().mkpath(store));
    const QByteArray first = "From - Mon Jan  5 09:00:00 2009\n" + kBefore + "\n";
    QByteArray bytes = first + "From - Mon Jan  5 10:00:00 2009\n" + c.source;
    // A message after it starts after an empty line, which belongs to its separator.
    const bool last = !c.source.endsWith('\n');
    if (!last)
        bytes += "\nFrom - Mon Jan  5 11:00:00 2009\n" + kAfter;
    ASSERT_TRUE(test::writeFile(store + "/Inbox", bytes));
    const QString dest = tmp.filePath("out-mbox");
    const CliResult result = exportStore(store, dest);
    expectExported(result, dest, c.source, last ? 1 : 2, "mbox");
    if (c.header.isEmpty()) {
        EXPECT_EQ(result.err,
                  QStringLiteral("parcelo-cli: warning: the message 2 of the mail folder 'Local "
                                 "Folders\\Inbox' (%1/Inbox, message 2 at byte %2) was left out: "
                                 "its lines end in a lone CR, so its header cannot be told from "
                                 "its body\n")
                      .arg(store)
                      .arg(first.size()));
    }
}

TEST_P(HeaderOnlyExportTest, MaildirFile) {
    const SourceCase& c = GetParam();
    const QString store = tmp.filePath("Maildir");
    ASSERT_TRUE(QDir().mkpath(store + "/cur") && QDir().mkpath(store + "/new"));
    ASSERT_TRUE(test::writeFile(store + "/cur/1230000000.M1P1.host:2,S", kBefore));
    const QString file = store + "/new/1230000001.M1P1.host";
    ASSERT_TRUE(test::writeFile(file, c.source));
    const QString dest = tmp.filePath("out-maildir");
    const CliResult result = exportStore(store, dest);
    expectExported(result, dest, c.source, 1, "Maildir");
    if (c.header.isEmpty()) {
        EXPECT_EQ(result.err, QStringLiteral("parcelo-cli: warning: the message 2 of the mail "
                                             "folder 'Maildir\\Inbox' (%1) was left out: its "
                                             "lines end in a lone CR, so its header cannot be "
                                             "told from its body\n")
                                  .arg(file));
    }
}

INSTANTIATE_TEST_SUITE_P(Sources, HeaderOnlyExportTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<SourceCase>& info) {
                             return std::string(info.param.name);
                         });
