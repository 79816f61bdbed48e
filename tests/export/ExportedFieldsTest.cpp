// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/ExportSession.h"
#include "support/StoreTestSupport.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QDirIterator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace parcelo;

namespace {

struct QuietObserver : IExportObserver {
    void SetProgress(int) override {}
    void SetStatusText(const QString&) override {}
};

// Fields that readers garbled when they were decoded and encoded again on their way to the file.
struct Case {
    const char* label;
    const char* fields;
};

const Case kCases[] = {
    {"two charsets", "Subject: =?koi8-r?B?8NLJ18XU?= =?iso-8859-1?Q?J=F6rg?=\n"},
    {"raw 8-bit beside a word", "Subject: Gr\xC3\xBC\xC3\x9F"
                                "e =?iso-8859-1?Q?M=FCnchen?=\n"},
    {"folded encoded subject", "Subject: =?utf-8?Q?Rechnung_Anw=C3=A4ltin?=\n"
                               "\t=?utf-8?Q?_f=C3=BCr_Sie?=\n"},
    {"name with a comma", "From: =?utf-8?Q?H=C3=B6rst=2C_Kenny?= <k@example.org>\n"},
    {"quoted names", "To: \"=?iso-8859-1?Q?=F6tzi?=\" <o@example.org>,\n"
                     " =?utf-8?Q?=22=C3=B6tzi=22?= <o2@example.org>\n"},
    {"ISO-2022-JP", "Thread-Topic: =?iso-2022-jp?B?GyRCJUslYyE8JXMbKEI=?=\n"
                    "From: =?iso-2022-jp?B?GyRCJUslYyE8JXMbKEI=?= <n@example.org>\n"},
    {"language tag", "From: =?ISO-8859-1*de?Q?J=FCrgen?= <j@example.org>\n"},
    {"odd spacing", "Subject:no space\nX-Tabs:\t \tvalue \n"},
    {"base64 body with text after its padding",
     "Content-Type: text/plain; charset=utf-8\nContent-Transfer-Encoding: base64\n"},
    {"quoted-printable body", "Content-Transfer-Encoding: quoted-printable\n"},
};

std::string Body(const Case& c) {
    const std::string fields = c.fields;
    if (fields.find("base64") != std::string::npos)
        return "SGVsbG8gd29y\nbGQ=\nnot data\n";
    if (fields.find("quoted-printable") != std::string::npos)
        return "caf=E9 au lait, a long line broken =\nsoftly\n";
    return "body\n";
}

std::string Source(std::size_t index) {
    const Case& c = kCases[index];
    return "Message-ID: <case-" + std::to_string(index) + "@example.org>\n" +
           "Date: Mon, 05 Jan 2009 10:00:00 +0000\n" + c.fields + "\n" + Body(c);
}

class ExportedFieldsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        QByteArray mbox;
        for (std::size_t i = 0; i < std::size(kCases); ++i)
            mbox +=
                "From - Mon Jan 05 10:00:00 2009\n" + QByteArray::fromStdString(Source(i)) + "\n";
        ASSERT_TRUE(QDir().mkpath(tmp.filePath("store")));
        ASSERT_TRUE(test::writeFile(tmp.filePath("store/Inbox"), mbox));
        ASSERT_TRUE(QDir().mkpath(tmp.filePath("app")) && QDir().mkpath(tmp.filePath("out")));
        settings.Paths = AppPaths::ForFolder(tmp.filePath("app"));
        settings.FolderPath = tmp.filePath("out") + "/";
        settings.FileOption = 4; // sender, subject and date: the names come from the store
    }

    // The message files of the run, by the Message-ID line they hold.
    std::map<std::string, QByteArray> Export() {
        auto store = test::OpenStore(tmp.filePath("store"));
        FolderTreeModel tree;
        tree.PopulateFolderTree(*store);
        tree.CheckAll();
        QuietObserver observer;
        ExportSession session(settings, *store, observer);
        EXPECT_EQ(session.OnExportMessages(tree).Exported, static_cast<int>(std::size(kCases)));
        std::map<std::string, QByteArray> files;
        for (QDirIterator it(tmp.filePath("out"), QDir::Files, QDirIterator::Subdirectories);
             it.hasNext();) {
            const QString path = it.next();
            const QByteArray bytes = test::readFile(path);
            const qsizetype at = bytes.indexOf("Message-ID: ");
            files[bytes.mid(at, bytes.indexOf('\n', at) - at + 1).toStdString()] = bytes;
            names.append(QFileInfo(path).fileName());
        }
        return files;
    }

    QTemporaryDir tmp;
    ExportSettings settings;
    QStringList names;
};

} // namespace

TEST_F(ExportedFieldsTest, EveryFieldAndBodyIsWrittenAsInTheSource) {
    const auto files = Export();
    for (std::size_t i = 0; i < std::size(kCases); ++i) {
        const std::string source = test::ToCrlf(QByteArray::fromStdString(Source(i))).toStdString();
        const std::string id = source.substr(0, source.find('\n') + 1);
        ASSERT_TRUE(files.count(id)) << kCases[i].label;
        std::string expected = "MIME-Version: 1.0\r\n";
        if (source.find("Content-Type:") == std::string::npos)
            expected += "Content-Type: text/plain; charset=\"utf-8\"\r\n";
        expected += source + "\r\n\r\n";
        EXPECT_EQ(files.at(id).toStdString(), expected) << kCases[i].label;
    }
}

TEST_F(ExportedFieldsTest, FileNamesAndTheIndexPageReadNamesAlike) {
    Export();
    // The file name comes from the store's properties, the index page from the MIME model:
    // both decode the language-tagged word with the same decoder.
    EXPECT_TRUE(names.filter(QStringLiteral("J\u00fcrgen")).size() == 1)
        << names.join(' ').toStdString();
    EXPECT_TRUE(names.filter(QStringLiteral("H\u00f6rst")).size() == 1)
        << names.join(' ').toStdString();
    const QString index = QString::fromUtf8(test::readFile(settings.Paths.IndexPage));
    EXPECT_FALSE(index.contains(QChar(0xFFFD)));
    EXPECT_GE(index.count(QStringLiteral("J\u00fcrgen")), 2);
    EXPECT_GE(index.count(QStringLiteral("\u30cb\u30e3\u30fc\u30f3")), 2);
}
