// SPDX-License-Identifier: GPL-3.0-or-later
// A mailbox written by a mail server (tests/store/data/server.mbox, see the README there),
// exported and deleted by parcelo-cli: one file for each delivered message, read back by
// Python's email package as it was delivered, and the server's internal data left in the
// mailbox as it was.
#include "support/CliProcess.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace parcelo;

TEST(ServerMboxExport, EachDeliveredMessageIsOneFileAndTheInternalDataStays) {
    if (QStandardPaths::findExecutable(QStringLiteral("python3")).isEmpty())
        GTEST_SKIP() << "python3 missing";
    QTemporaryDir tmp;
    const QString store = tmp.filePath("Server");
    const QString dest = tmp.filePath("out");
    ASSERT_TRUE(QDir().mkpath(store) && QDir().mkpath(dest));
    const QByteArray original =
        test::readFile(QStringLiteral(PARCELO_SOURCE_DIR "/tests/store/data/server.mbox"));
    ASSERT_TRUE(test::writeFile(store + "/Box", original));

    const test::CliProcessResult tree = test::RunCliProcess(tmp.path(), {"tree", "--store", store});
    EXPECT_EQ(tree.exitCode, 0) << tree.err.toStdString();
    EXPECT_EQ(tree.out, "Server\n  Box [3]\n");

    const test::CliProcessResult run =
        test::RunCliProcess(tmp.path(), {"export", "--store", store, "--dest", dest, "--app-folder",
                                         tmp.filePath("app"), "--set", "ActionDelete=1"});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.err, "");
    // Deleted, the messages leave the file; the server's internal data stays first.
    EXPECT_EQ(test::readFile(store + "/Box"),
              original.left(original.indexOf("\nFrom root@vm  ") + 1));

    QStringList files;
    for (QDirIterator it(dest, QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
        files.append(it.next());
    ASSERT_EQ(files.size(), 3) << files.join(' ').toStdString();
    // Subject and body of each delivered message, in any order (line ends aside).
    const char* script = R"(
import email, sys
from email import policy
expected = {
    'first': 'From the desk of the director: hello.\n\nFrom here on, lines start with From.\n'
             '>From an already quoted line.\nlast line\n',
    'crlf': 'line one\n\nFrom crlf land\n',
    'no final newline': 'body without end\n',
}
found = {}
for path in sys.argv[1:]:
    message = email.message_from_bytes(open(path, 'rb').read(), policy=policy.compat32)
    if message.defects:
        sys.exit('%s: defects %r' % (path, message.defects))
    found[message['Subject']] = message.get_payload().replace('\r\n', '\n').rstrip('\n') + '\n'
if found != expected:
    sys.exit('read %r, delivered %r' % (found, expected))
)";
    QProcess python;
    python.start("python3", QStringList{"-c", script} + files);
    ASSERT_TRUE(python.waitForFinished(60000));
    EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
}
