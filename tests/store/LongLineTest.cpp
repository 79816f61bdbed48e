// SPDX-License-Identifier: GPL-3.0-or-later
// Lines of any length are read in bounded memory: by the line reader, the canonical stream
// and the mbox scanner.
#include "store/CrlfCanonicalizer.h"
#include "store/LineReader.h"
#include "store/mbox/MboxScanner.h"
#include "support/StoreTestSupport.h"
#include "support/TestEnv.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>
#include <cstring>
#include <gtest/gtest.h>

using namespace parcelo;
using namespace parcelo::test;

namespace {

// Line by line: a lone LF becomes CR LF, ">From " lines lose one '>' when unescaping.
QByteArray Reference(const QByteArray& bytes, bool unescapeFrom) {
    QByteArray out;
    for (qsizetype start = 0; start < bytes.size();) {
        qsizetype end = bytes.indexOf('\n', start);
        end = end < 0 ? bytes.size() : end + 1;
        QByteArray line = bytes.mid(start, end - start);
        qsizetype quotes = 0;
        while (quotes < line.size() && line[quotes] == '>')
            ++quotes;
        if (unescapeFrom && quotes > 0 && line.mid(quotes).startsWith("From "))
            line.remove(0, 1);
        if (line.endsWith('\n') && !line.endsWith("\r\n"))
            line.insert(line.size() - 1, '\r');
        out.append(line);
        start = end;
    }
    return out;
}

// Kibibytes of a field of /proc/self/status, or -1.
qint64 StatusKib(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qsizetype(strlen(field))).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

// Resets the peak resident size to the current one (false where the system cannot).
bool ResetPeakMemory() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
}

} // namespace

TEST(CrlfCanonicalizer, AnySplitGivesTheLineByLineResult) {
    const QByteArray cases[] = {
        ">From x\n",
        ">>From \r\n",
        ">Fro\n",
        ">\n",
        ">>>",
        ">F",
        ">From",
        ">From ",
        "From x\n>From",
        "a\r\nb\nc\r",
        "\r\n\n\r\r\n",
        ">>F>From y\n",
        ">Frm\n>From\n",
        "x>From \n",
        "\n>From a\n\n>>From b",
        "",
    };
    for (const QByteArray& input : cases) {
        for (bool unescape : {true, false}) {
            const QByteArray expected = Reference(input, unescape);
            for (qsizetype piece : {1, 2, 3, 5, 1000}) {
                CrlfCanonicalizer canonicalizer(unescape);
                QByteArray out;
                for (qsizetype at = 0; at < input.size(); at += piece)
                    canonicalizer.feed(input.constData() + at, std::min(piece, input.size() - at),
                                       &out);
                canonicalizer.finish(&out);
                EXPECT_EQ(out, expected) << input.toStdString() << " in pieces of " << piece;
                EXPECT_EQ(canonicalizer.produced(), quint64(expected.size()));
            }
            EXPECT_EQ(CanonicalSize(input.constData(), input.size(), unescape),
                      quint64(expected.size()));
        }
    }
}

TEST(LineReader, KeepsOnlyTheHeadOfALongLine) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("lines"));
    const QByteArray longLine = QByteArray(3 * LineReader::kHeadLimit + 17, 'x') + "\r\n";
    ASSERT_TRUE(writeFile(path, "short\n" + longLine + "end"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    LineReader reader(&file);
    QByteArray head;
    qint64 seen = 0;
    const LineReader::Sink sink = [&seen](const char*, qsizetype size) { seen += size; };
    ASSERT_TRUE(reader.next(&head, sink));
    EXPECT_EQ(head, QByteArray("short\n"));
    EXPECT_EQ(reader.lineEnd(), QByteArray("\n"));
    ASSERT_TRUE(reader.next(&head, sink));
    EXPECT_EQ(head.size(), LineReader::kHeadLimit);
    EXPECT_EQ(reader.lineStart(), 6);
    EXPECT_EQ(reader.lineLength(), longLine.size());
    EXPECT_EQ(reader.lineEnd(), QByteArray("\r\n"));
    ASSERT_TRUE(reader.next(&head, sink));
    EXPECT_EQ(head, QByteArray("end"));
    EXPECT_TRUE(reader.lineEnd().isEmpty());
    EXPECT_FALSE(reader.next(&head, sink));
    EXPECT_FALSE(reader.failed());
    EXPECT_EQ(seen, 6 + longLine.size() + 3);
}

// A body line and a header line of many megabytes: the messages around them are found, sizes
// and sources are exact and the header after the long field is still read.
TEST(MboxStore, MessagesWithHugeLinesAreIndexedAndStreamed) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Huge"));
    const QByteArray longBody = QByteArray(16 << 20, 'b');
    const QByteArray longField = "X-Long: " + QByteArray(4 << 20, 'h') + "\n";
    QByteArray mbox;
    mbox += "From a Mon Jan  1 00:00:00 2001\nSubject: long body\n\n>From " + longBody + "\n\n";
    mbox += "From b Mon Jan  1 00:00:00 2001\n" + longField + "Subject: long field\n\nx\n\n";
    mbox += "From c Mon Jan  1 00:00:00 2001\nSubject: no line end\n\n" + longBody;
    ASSERT_TRUE(writeFile(path, mbox));
    const QByteArray expected[] = {
        "Subject: long body\r\n\r\nFrom " + longBody + "\r\n",
        longField.chopped(1) + "\r\nSubject: long field\r\n\r\nx\r\n",
        "Subject: no line end\r\n\r\n" + longBody,
    };
    mbox.clear();

    // Indexing holds no whole line: it peaks far below the length of the long line.
    if (ResetPeakMemory()) {
        const qint64 before = StatusKib("VmRSS:");
        const MboxScan scan = ScanMbox(path);
        const qint64 growth = StatusKib("VmHWM:") - before;
        ASSERT_TRUE(scan.ok);
        EXPECT_EQ(scan.messages.size(), 3u);
        EXPECT_LT(growth, 4 * 1024) << "KiB";
    }

    auto store = OpenStore(dir.path());
    auto folder = OpenFolderByPath(*store, QStringLiteral("Huge"));
    ASSERT_TRUE(folder);
    const auto messages = EnumerateMessages(*folder);
    ASSERT_EQ(messages.size(), 3u);
    const char* subjects[] = {"long body", "long field", "no line end"};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(messages[i].pszNormalSubject, subjects[i]);
        EXPECT_EQ(messages[i].cbMessage, quint64(expected[i].size()));
        bool ok = false;
        const QByteArray source = ReadSource(*folder, messages[i].dwMessageId, &ok);
        EXPECT_TRUE(ok);
        EXPECT_EQ(QCryptographicHash::hash(source, QCryptographicHash::Sha256),
                  QCryptographicHash::hash(expected[i], QCryptographicHash::Sha256))
            << i;
    }
}
