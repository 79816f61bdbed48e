// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/report/IndexPage.h"

#include "export/report/HtmlEscape.h"
#include "export/report/IndexPageWriter.h"
#include "platform/LocaleFormats.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QLocale>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

using namespace parcelo;

namespace {

class IndexPageTest : public ::testing::Test {
protected:
    void SetUp() override { LocaleFormats::setCurrent(QLocale(QStringLiteral("en_US"))); }
    void TearDown() override { LocaleFormats::resetCurrent(); }

    QString pagePath() const { return QDir(dir_.path()).filePath(QStringLiteral("Index.htm")); }

    static IndexEntry plainEntry() {
        IndexEntry e;
        e.filePath = QStringLiteral("/home/u/Mail/Inbox/Hello.eml");
        e.sender = QStringLiteral("Pat Smith");
        e.fromValue = QStringLiteral("Pat Smith <pat@example.org>");
        e.subject = QStringLiteral("Hello");
        e.toValue = QStringLiteral("jo@example.org");
        e.ccValue = QStringLiteral("\"Al (home)\" <al@example.org>");
        e.sentDateText = QStringLiteral("March 05. 2009 07h 41m");
        return e;
    }

    QTemporaryDir dir_;
    const QDateTime now_{QDate(2026, 12, 10), QTime(9, 30)};
    const QString home_ = QStringLiteral("https://parcelo.test/home");
};

TEST_F(IndexPageTest, HtmlEscapeAddressReplacesSevenCharacters) {
    EXPECT_EQ(HtmlEscapeAddress(QStringLiteral("<\"A B's\" (x)>&é")),
              QStringLiteral("&#60;&#34;A&#32;B&#39;s&#34;&#32;&#40;x&#41;&#62;&é"));
    EXPECT_EQ(HtmlEscapeText(QStringLiteral("<a href=\"x\">&'")),
              QStringLiteral("&lt;a href=&quot;x&quot;&gt;&amp;'"));
}

TEST_F(IndexPageTest, EntryOfAPlainMessage) {
    EXPECT_EQ(IndexEntryText(plainEntry()),
              QStringLiteral(
                  "<p><table><tr><td width=\"300\"><i>Message</i></td>"
                  "<td width=\"300\"><i>Sender</i></td><td width=\"300\"><i>Date</i></td>"
                  "<td width=\"300\"><i>Recipient(s)</i></td></tr><tr>"
                  "<td><a href=\"file:///home/u/Mail/Inbox/Hello.eml\">Hello</a></td>"
                  "<td><a href=\"mailto:Pat&#32;Smith&#32;&#60;pat@example.org&#62;\">Pat "
                  "Smith</a></td>"
                  "<td>March 05. 2009 07h 41m</td>"
                  "<td><a href=\"mailto:jo@example.org\">jo@example.org</a>"
                  "<a href=\"mailto:&#34;Al&#32;&#40;home&#41;&#34;&#32;&#60;al@example.org&#62;\">"
                  "&#34;Al&#32;&#40;home&#41;&#34;&#32;&#60;al@example.org&#62;</a></td>"
                  "</tr></table></p><hr>"));
    IndexEntry none = plainEntry();
    none.toValue.clear();
    none.ccValue.clear();
    EXPECT_TRUE(IndexEntryText(none).endsWith(QStringLiteral("<td></td></tr></table></p><hr>")));
}

TEST_F(IndexPageTest, PageIsCreatedOnceThenGrows) {
    ASSERT_TRUE(WriteIndexEntry(pagePath(), plainEntry(), now_, home_));
    const LocaleFormats& f = LocaleFormats::current();
    const QString heading =
        QStringLiteral("<head>\r\n"
                       "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">\r\n"
                       "<title>Exported Messages Index</title>\r\n"
                       "</head>\r\n"
                       "<h2><center><b>Exported Messages Index</b></center></h2>\r\n"
                       "<i><center><a href=\"https://parcelo.test/home\">Parcelo</a></i></center>"
                       "\r\n<br><center><i>Index created on ") +
        f.formatDate(now_.date()) + QStringLiteral(" at ") + f.formatTime(now_.time()) +
        QStringLiteral("</i></center><hr>");
    const QString entry = IndexEntryText(plainEntry()) + QStringLiteral("\r\n");
    EXPECT_EQ(test::readFile(pagePath()), (heading + entry).toUtf8());

    IndexEntry second = plainEntry();
    second.subject = QStringLiteral("Привет, 世界");
    ASSERT_TRUE(WriteIndexEntry(pagePath(), second, now_.addDays(1), home_));
    EXPECT_EQ(test::readFile(pagePath()),
              (heading + entry + IndexEntryText(second) + QStringLiteral("\r\n")).toUtf8());

    // A page deleted by hand starts again with a fresh heading.
    ASSERT_TRUE(QFile::remove(pagePath()));
    ASSERT_TRUE(WriteIndexEntry(pagePath(), plainEntry(), now_, home_));
    EXPECT_EQ(test::readFile(pagePath()), (heading + entry).toUtf8());
}

// A run's writer gathers entries and writes them whole: all of them, in order, whatever the
// number, and nothing before it is asked to or its batch is full.
TEST_F(IndexPageTest, RunWriterKeepsEveryEntryInOrder) {
    QString expected;
    {
        IndexPageWriter writer(pagePath(), now_, home_);
        ASSERT_TRUE(writer.append(plainEntry()));
        EXPECT_FALSE(QFile::exists(pagePath()));
        for (int i = 0; i < 400; ++i) {
            IndexEntry entry = plainEntry();
            entry.subject = QStringLiteral("Message %1").arg(i);
            expected += IndexEntryText(entry) + QStringLiteral("\r\n");
            ASSERT_TRUE(writer.append(entry));
        }
        EXPECT_TRUE(QFile::exists(pagePath())); // more than one batch
        ASSERT_TRUE(writer.flush());
    }
    const QString page = QString::fromUtf8(test::readFile(pagePath()));
    EXPECT_TRUE(page.endsWith(IndexEntryText(plainEntry()) + QStringLiteral("\r\n") + expected));
    EXPECT_EQ(page.count(QStringLiteral("<title>")), 1);
}

TEST_F(IndexPageTest, HostileTextsShowAsText) {
    IndexEntry e = plainEntry();
    e.subject = QStringLiteral("<script>alert(1)</script>");
    e.sender = QStringLiteral("<img src=x onerror=alert(2)>");
    e.sentDateText = QStringLiteral("\"><script>alert(3)</script>");
    e.fromValue = QStringLiteral("\"><script>alert(4)</script>");
    e.toValue = QStringLiteral("x\" onmouseover=\"alert(5)");
    ASSERT_TRUE(WriteIndexEntry(pagePath(), e, now_, home_));
    const QString page = QString::fromUtf8(test::readFile(pagePath()));
    EXPECT_FALSE(page.contains(QStringLiteral("<script"), Qt::CaseInsensitive));
    EXPECT_FALSE(page.contains(QStringLiteral("<img"), Qt::CaseInsensitive));
    EXPECT_FALSE(page.contains(QStringLiteral("\" onmouseover")));
    EXPECT_TRUE(page.contains(QStringLiteral(">&lt;script&gt;alert(1)&lt;/script&gt;</a>")));
    EXPECT_TRUE(page.contains(QStringLiteral(">&lt;img src=x onerror=alert(2)&gt;</a>")));
}

TEST_F(IndexPageTest, FileLinkIsAPercentEncodedFileUrl) {
    IndexEntry e = plainEntry();
    e.filePath = QStringLiteral("/home/u/Mail/My Inbox/R&D #5 \"x\" 100% Привет?.eml");
    const QString text = IndexEntryText(e);
    static const QRegularExpression link(QStringLiteral("<td><a href=\"([^\"]*)\">"));
    const QRegularExpressionMatch m = link.match(text);
    ASSERT_TRUE(m.hasMatch());
    const QString href = m.captured(1);
    EXPECT_TRUE(href.startsWith(QStringLiteral("file:///home/u/Mail/My%20Inbox/")));
    EXPECT_FALSE(href.contains(u' '));
    EXPECT_FALSE(href.contains(u'#'));
    EXPECT_FALSE(href.contains(u'?'));
    // The attribute, read back as HTML, is the URL of exactly this file.
    QString url = href;
    url.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    EXPECT_EQ(QUrl(url, QUrl::StrictMode).toLocalFile(), e.filePath);
}

// Each text of an entry comes out as its own escaped form, whatever the texts before it held
// (longer ones, other scripts, characters beyond the BMP, a lone surrogate as toUtf8 writes it).
TEST_F(IndexPageTest, EachTextIsTheUtf8OfItsEscapedForm) {
    const QString emoji = QString::fromUtf8("\xF0\x9F\x93\xA7 R\xC3\xA9sum\xC3\xA9 <\xE4\xB8\x96>");
    const QString lone = QStringLiteral("a") + QChar(0xD800) + QStringLiteral("b");
    struct Case {
        QString subject, sender, fromValue, toValue, ccValue;
    } cases[] = {
        {emoji + emoji + emoji, QStringLiteral("P"), QStringLiteral("p@x"), emoji,
         QStringLiteral("c@x")},
        {QStringLiteral("S"), lone, lone + QStringLiteral(" <l@x>"), QStringLiteral("t@x"), lone},
        {QString(), QString(), QString(), QString(), QString()},
    };
    for (const Case& c : cases) {
        IndexEntry e = plainEntry();
        e.subject = c.subject;
        e.sender = c.sender;
        e.fromValue = c.fromValue;
        e.toValue = c.toValue;
        e.ccValue = c.ccValue;
        QString expected = QStringLiteral("\">") + HtmlEscapeText(c.subject) +
                           QStringLiteral("</a></td><td><a href=\"mailto:") +
                           HtmlEscapeAddress(c.fromValue) + QStringLiteral("\">") +
                           HtmlEscapeText(c.sender) + QStringLiteral("</a></td><td>") +
                           HtmlEscapeText(e.sentDateText) + QStringLiteral("</td><td>");
        for (const QString& recipient : {c.toValue, c.ccValue}) {
            if (!recipient.isEmpty())
                expected += QStringLiteral("<a href=\"mailto:") + HtmlEscapeAddress(recipient) +
                            QStringLiteral("\">") + HtmlEscapeAddress(recipient) +
                            QStringLiteral("</a>");
        }
        expected += QStringLiteral("</td></tr></table></p><hr>\r\n");
        EXPECT_EQ(PrepareIndexEntry(e).afterLink, expected.toUtf8()) << c.subject.toStdString();
    }
}

TEST_F(IndexPageTest, PageThatCannotBeCreatedTakesNoEntries) {
    ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("Index.htm")));
    EXPECT_FALSE(WriteIndexEntry(pagePath(), plainEntry(), now_, home_));
    QString error;
    EXPECT_FALSE(WriteIndexEntry(pagePath(), plainEntry(), now_, home_, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(QDir(pagePath()).isEmpty());
}

} // namespace

// The link to a file is the URL QUrl makes of its path, whatever the path holds.
TEST(IndexFileLinkTest, IsTheUrlOfThePath) {
    QStringList paths = {QStringLiteral("/home/u/Grüße aus München/Ärger (2) #1.eml"),
                         QStringLiteral("/a/[x]&'!$*+,;=:@~.eml"),
                         QStringLiteral("/a/./b/../c.eml"),
                         QStringLiteral("//server/share/x.eml"),
                         QStringLiteral("relative/x.eml"),
                         QStringLiteral("/a/") + QChar(0xD83D) + QChar(0xDE00) + u'x',
                         QStringLiteral("/a/") + QChar(0xD83D) + u'x', // a lone surrogate
                         QStringLiteral("/a/.hidden"),
                         QStringLiteral("/")};
    for (char16_t c = 1; c < 0x80; ++c)
        paths << QStringLiteral("/a/x") + QChar(c) + u'y';
    for (const QString& path : paths) {
        QByteArray expected;
        AppendHtmlEscapedText(&expected, QUrl::fromLocalFile(path).toEncoded(QUrl::FullyEncoded));
        EXPECT_EQ(IndexFileLink(path), expected) << path.toStdString();
    }
}
