// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/StoreTestSupport.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace parcelo;
using namespace parcelo::test;

namespace {

QString Corpus(const char* relative) {
    return corpusDir() + QLatin1Char('/') + relative;
}

// The one mailbox of a single-file store.
std::unique_ptr<IStoreFolder> OpenMboxFile(const QString& file,
                                           std::unique_ptr<IStoreNamespace>* store) {
    *store = OpenStore(file);
    if (!*store)
        return nullptr;
    return OpenFolderByPath(**store, QFileInfo(file).fileName());
}

struct ReadBack {
    std::vector<MESSAGEPROPS> props;
    std::vector<QByteArray> sources;
};

ReadBack ReadAll(const QString& file) {
    ReadBack result;
    std::unique_ptr<IStoreNamespace> store;
    auto folder = OpenMboxFile(file, &store);
    EXPECT_TRUE(folder) << file.toStdString();
    if (!folder)
        return result;
    result.props = EnumerateMessages(*folder);
    for (const MESSAGEPROPS& props : result.props) {
        bool ok = false;
        result.sources.push_back(ReadSource(*folder, props.dwMessageId, &ok));
        EXPECT_TRUE(ok);
    }
    return result;
}

} // namespace

TEST(MboxStore, RealMailboxesStreamExactCrlfSources) {
    PARCELO_REQUIRE_CORPUS();
    struct Case {
        const char* file;
        size_t messages;
    } cases[] = {
        {"perl-mail-box/mbox.src", 45},
        {"perl-mail-box/mbox.win", 45},
        {"gnu-mailutils/spool/teaparty.mbox", 95},
        // Separators only at the start or after an empty line; Content-Length is not trusted.
        {"mimekit/mbox/content-length.mbox.txt", 19},
        {"mimekit/mbox/simple.mbox.txt", 1},
        {"mimekit/mbox/issue1189.mbox.txt", 4},
        {"mimekit/mbox/unmunged.mbox.txt", 4},
        {"comm-central/mailnews/test/data/mbox_modern", 2},
        {"comm-central/mailnews/test/data/mbox_unquoted", 2},
        {"comm-central/mailnews/test/data/mbox_mboxrd", 2},
        {"comm-central/mailnews/local/test/unit/data/movemailspool", 3},
        {"mime4j/mbox/test-1/mbox.rlug", 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const ReadBack mailbox = ReadAll(Corpus(c.file));
        ASSERT_EQ(mailbox.props.size(), c.messages);
        for (size_t i = 0; i < mailbox.props.size(); ++i) {
            const QByteArray& source = mailbox.sources[i];
            EXPECT_EQ(quint64(source.size()), mailbox.props[i].cbMessage) << i;
            EXPECT_TRUE(ToCrlf(source) == source) << "lone LF in message " << i;
            EXPECT_EQ(mailbox.props[i].dwMessageId, StoreMessageId(i));
        }
    }
}

TEST(MboxStore, LfAndCrlfCopiesOfAMailboxGiveTheSameSources) {
    PARCELO_REQUIRE_CORPUS();
    const ReadBack lf = ReadAll(Corpus("perl-mail-box/mbox.src"));
    const ReadBack crlf = ReadAll(Corpus("perl-mail-box/mbox.win"));
    ASSERT_EQ(lf.sources.size(), 45u);
    ASSERT_EQ(crlf.sources.size(), 45u);
    // The copies differ only in their Content-Length values, which count the CR bytes.
    static const QRegularExpression contentLength(QStringLiteral("Content-Length: \\d+"));
    for (size_t i = 0; i < 45; ++i) {
        QString a = QString::fromLatin1(lf.sources[i]);
        QString b = QString::fromLatin1(crlf.sources[i]);
        EXPECT_TRUE(a.replace(contentLength, QString()) == b.replace(contentLength, QString()))
            << i;
    }
    EXPECT_TRUE(lf.sources[0].contains("\r\n\r\n"));
}

TEST(MboxStore, MatchesAnIndependentSplitOfTheMailbox) {
    PARCELO_REQUIRE_CORPUS();
    // mime4j's expected parts keep the empty line before the next separator and at the end;
    // here it belongs to the separator (or ends the last message) and is not in the message.
    const ReadBack mailbox = ReadAll(Corpus("mime4j/mbox/test-1/mbox.rlug"));
    ASSERT_EQ(mailbox.sources.size(), 5u);
    for (int i = 0; i < 5; ++i) {
        QByteArray expected =
            readFile(Corpus("mime4j/mbox/test-1/mbox.rlug-") + QString::number(i));
        ASSERT_FALSE(expected.isEmpty());
        ASSERT_TRUE(expected.endsWith("\n\n"));
        expected.chop(1);
        EXPECT_TRUE(mailbox.sources[i] == ToCrlf(expected)) << i;
    }
    const MESSAGEPROPS& first = mailbox.props[0];
    EXPECT_EQ(first.pszDisplayFrom, QByteArray("mmihai"));
    EXPECT_EQ(first.pszNormalSubject,
              QByteArray("Din windows ma pot, din LINUX NU ma pot conecta (la ZAPP)"));
    EXPECT_EQ(first.ftSent, QDateTime(QDate(2003, 2, 7), QTime(16, 35, 25), Qt::UTC));
    EXPECT_EQ(first.ftReceived, QDateTime(QDate(2003, 3, 4), QTime(3, 33, 20), Qt::UTC));
}

TEST(MboxStore, EscapedFromLinesLoseOneBracket) {
    PARCELO_REQUIRE_CORPUS();
    const ReadBack rd = ReadAll(Corpus("comm-central/mailnews/test/data/mbox_mboxrd"));
    ASSERT_EQ(rd.sources.size(), 2u);
    EXPECT_TRUE(rd.sources[0].contains("\r\nFrom (should be escaped).\r\n"));
    EXPECT_FALSE(rd.sources[0].contains(">From"));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Inbox"));
    ASSERT_TRUE(writeFile(path, "From a@b Sat Jan  3 01:05:34 1996\nSubject: x\n\n"
                                ">From one\n>>From two\n>>>From three\n> From not\n"
                                " >From not\n>Fromage\n"));
    const ReadBack mine = ReadAll(path);
    ASSERT_EQ(mine.sources.size(), 1u);
    EXPECT_EQ(mine.sources[0], QByteArray("Subject: x\r\n\r\nFrom one\r\n>From two\r\n>>From "
                                          "three\r\n> From not\r\n >From not\r\n>Fromage\r\n"));
}

TEST(MboxStore, SeparatorsBomAndLineEnds) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Box"));
    // BOM; CR LF and LF mixed; a "From " line not after an empty line is body; the empty line
    // before a separator belongs to it; a lone CR stays.
    ASSERT_TRUE(writeFile(path, "\xEF\xBB\xBF"
                                "From - \r\nSubject: one\r\n\r\nbody\nFrom here\n"
                                "x\ry\n\nFrom - Mon Jan  1 00:00:00 2001\nSubject: two\n\n\n"
                                "From - \nSubject: three\n\nlast\n\n"));
    const ReadBack mailbox = ReadAll(path);
    ASSERT_EQ(mailbox.sources.size(), 3u);
    EXPECT_EQ(mailbox.sources[0], QByteArray("Subject: one\r\n\r\nbody\r\nFrom here\r\nx\ry\r\n"));
    EXPECT_EQ(mailbox.sources[1], QByteArray("Subject: two\r\n\r\n"));
    EXPECT_EQ(mailbox.sources[2], QByteArray("Subject: three\r\n\r\nlast\r\n"));
    EXPECT_EQ(mailbox.props[1].ftReceived, QDateTime(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC));
}

TEST(MboxStore, FlagsFromMozillaStatusStatusAndXStatus) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Flags"));
    const char* messages[] = {
        "X-Mozilla-Status: 0001\nSubject: read\n",
        "X-Mozilla-Status: 0004\nSubject: flagged unread\n",
        "X-Mozilla-Status: 0009\nSubject: expunged\n",
        "Status: RO\nSubject: read by Status\n",
        "Status: O\nX-Status: F\nSubject: flagged by X-Status\n",
        "X-Mozilla-Status: 0000\nStatus: R\nX-Status: F\nSubject: Mozilla status wins\n",
        "Subject: plain\n",
    };
    QByteArray mbox;
    for (const char* header : messages)
        mbox += QByteArray("From - Mon Jan  1 00:00:00 2001\n") + header + "\nbody\n\n";
    ASSERT_TRUE(writeFile(path, mbox));
    const ReadBack mailbox = ReadAll(path);
    struct Expected {
        const char* subject;
        std::uint32_t state;
    } expected[] = {
        {"read", 0},
        {"flagged unread", MSG_UNREAD | MSG_FLAGGED},
        {"read by Status", 0},
        {"flagged by X-Status", MSG_UNREAD | MSG_FLAGGED},
        {"Mozilla status wins", MSG_UNREAD},
        {"plain", MSG_UNREAD},
    };
    ASSERT_EQ(mailbox.props.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(mailbox.props[i].pszNormalSubject, QByteArray(expected[i].subject));
        EXPECT_EQ(mailbox.props[i].dwState, expected[i].state) << expected[i].subject;
    }

    auto store = OpenStore(dir.path());
    const auto folders = WalkFolders(*store);
    ASSERT_EQ(folders.size(), 1u);
    EXPECT_EQ(folders[0].props.cMessage, 6);
    EXPECT_EQ(folders[0].props.cUnread, 4);
}

TEST(MboxStore, AReadErrorInTheMiddleFailsTheRead) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Inbox"));
    QByteArray body;
    for (int i = 0; i < 30000; ++i)
        body += "line " + QByteArray::number(i) + "\n";
    // The big message is not the one enumerated last, so it is read from the file.
    ASSERT_TRUE(writeFile(path, "From - \nSubject: big\n\n" + body +
                                    "\nFrom - \nSubject: small\n\nsmall\n"));
    std::unique_ptr<IStoreNamespace> store;
    auto folder = OpenMboxFile(path, &store);
    ASSERT_TRUE(folder);
    ASSERT_EQ(EnumerateMessages(*folder).size(), 2u);
    std::unique_ptr<IStoreStream> stream;
    ASSERT_EQ(folder->OpenMessage(0, &stream), S_OK);
    char buffer[4095];
    std::uint32_t got = 0;
    ASSERT_EQ(stream->Read(buffer, sizeof buffer, &got), S_OK);
    ASSERT_EQ(got, sizeof buffer);
    ASSERT_TRUE(QFile::resize(path, 100000)); // the file loses its tail while being read
    HRESULT hr = S_OK;
    while (hr == S_OK) {
        hr = stream->Read(buffer, sizeof buffer, &got);
        if (hr == S_OK && got == 0)
            break;
    }
    EXPECT_LT(hr, 0);
}
