// SPDX-License-Identifier: GPL-3.0-or-later
#include "filters/FilterSetFile.h"

#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

using parcelo::FilterSetLoadResult;
using parcelo::LoadFilterSet;
using parcelo::SaveFilterSet;
using parcelo::STR_FILTER_ITEM;
using parcelo::test::readFile;
using parcelo::test::writeFile;

namespace {

STR_FILTER_ITEM textFilter(int criteria, int op, const QString& text, int matchCase = 0) {
    STR_FILTER_ITEM filter;
    filter.Criteria = criteria;
    filter.ConjunctionOption = op;
    filter.TextField = text;
    filter.MatchCase = matchCase;
    return filter;
}

QList<STR_FILTER_ITEM> exampleList() {
    STR_FILTER_ITEM size;
    size.Criteria = 5;
    size.ConjunctionOption = 3;
    size.NumericField = 100;
    return {textFilter(1, 0, "invoice", 1), size};
}

QByteArray fileWithFilters(const QByteArray& filters) {
    return "<?xml version=\"1.0\" encoding=\"ISO-8859-2\"?>\r\n<filters>\r\n<head>\r\n"
           "<title>Filters</title>\r\n</head>\r\n<body>\r\n" +
           filters + "</body>\r\n</filters>\r\n";
}

class FilterSetFile : public ::testing::Test {
protected:
    QString path(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }
    QTemporaryDir dir;
};

} // namespace

TEST_F(FilterSetFile, WritesTheExampleFileExactly) {
    ASSERT_TRUE(SaveFilterSet(path("Filters.xml"), exampleList()));
    const QByteArray expected =
        readFile(QStringLiteral(PARCELO_SOURCE_DIR "/tests/filters/data/example-filters.xml"));
    ASSERT_FALSE(expected.isEmpty());
    EXPECT_EQ(readFile(path("Filters.xml")), expected);

    QList<STR_FILTER_ITEM> loaded;
    EXPECT_TRUE(LoadFilterSet(path("Filters.xml"), loaded).ok());
    EXPECT_EQ(loaded, exampleList());
}

TEST_F(FilterSetFile, WritesAnEmptySetInSevenLines) {
    ASSERT_TRUE(SaveFilterSet(path("empty.xml"), {}));
    EXPECT_EQ(readFile(path("empty.xml")),
              "<?xml version=\"1.0\" encoding=\"ISO-8859-2\"?>\r\n<filters>\r\n<head>\r\n"
              "<title>Filters</title>\r\n</head>\r\n<body/>\r\n</filters>\r\n");
    QList<STR_FILTER_ITEM> list = exampleList();
    const FilterSetLoadResult result = LoadFilterSet(path("empty.xml"), list);
    EXPECT_EQ(result.status, FilterSetLoadResult::Loaded);
    EXPECT_TRUE(list.isEmpty());
}

TEST_F(FilterSetFile, SpecialAndNonAsciiTextsRoundTrip) {
    STR_FILTER_ITEM date;
    date.Criteria = 3;
    date.ConjunctionOption = 2;
    date.Date = "8/28/2012";
    const QList<STR_FILTER_ITEM> list = {
        textFilter(0, 0, "O'Brien \"Bob\" <bob&co>"),
        textFilter(1, 6, QString::fromUtf8("Příliš žluťoučký kůň"), 1),
        textFilter(2, 3, "a\tb &amp; &#65; '\""),
        date,
    };
    ASSERT_TRUE(SaveFilterSet(path("set.xml"), list));
    const QByteArray bytes = readFile(path("set.xml"));
    EXPECT_TRUE(bytes.contains("TextField=\"O&apos;Brien &quot;Bob&quot; &lt;bob&amp;co&gt;\""));
    EXPECT_TRUE(bytes.contains(QString::fromUtf8("Příliš žluťoučký kůň").toUtf8()));
    QList<STR_FILTER_ITEM> loaded;
    ASSERT_TRUE(LoadFilterSet(path("set.xml"), loaded).ok());
    EXPECT_EQ(loaded, list);

    // Saving over the file replaces its filters.
    ASSERT_TRUE(SaveFilterSet(path("set.xml"), exampleList()));
    ASSERT_TRUE(LoadFilterSet(path("set.xml"), loaded).ok());
    EXPECT_EQ(loaded, exampleList());
}

TEST_F(FilterSetFile, ReadsHandWrittenFilesLeniently) {
    ASSERT_TRUE(writeFile(
        path("hand.xml"),
        "garbage before <!-- a comment -->\n"
        "<filters><body>\n"
        "  <filter NumericValue='7' Criteria=' 2 ' TextField=\"x\" Unknown=\"1\"/>\n"
        "  <other Criteria=\"1\" TextField=\"ignored\"/>\n"
        "  <filter Criteria=\"\" ConjunctionOption=\"12abc\" NumericField=\"abc\" "
        "TextField=\"y\" MatchCase=\"-3\"/>\n"
        "  <filter Criteria=\"8\" ConjunctionOption=\"+1\" NumericValue=\" 99999999999 \"/>\n"
        "  <Filter Criteria=\"1\" TextField=\"wrong case\"/>\n"
        "  <filter Criteria=\"1\"><filter Criteria=\"0\" TextField=\"nested\"/></filter>\n"
        "</body></filters> trailing text"));
    QList<STR_FILTER_ITEM> list;
    ASSERT_TRUE(LoadFilterSet(path("hand.xml"), list).ok());
    ASSERT_EQ(list.size(), 4);
    EXPECT_EQ(list[0].Criteria, 2);
    EXPECT_EQ(list[0].ConjunctionOption, -1); // missing
    EXPECT_EQ(list[0].TextField, "x");
    EXPECT_EQ(list[0].NumericValue, 7);
    EXPECT_EQ(list[1].Criteria, -1); // empty
    EXPECT_EQ(list[1].ConjunctionOption, 12);
    EXPECT_EQ(list[1].NumericField, 0);
    EXPECT_EQ(list[1].MatchCase, -3);
    EXPECT_EQ(list[2].Criteria, 8);
    EXPECT_EQ(list[2].ConjunctionOption, 1);
    EXPECT_EQ(list[2].NumericValue, 2147483647);
    EXPECT_EQ(list[3].Criteria, 1);
    EXPECT_TRUE(list[3].TextField.isEmpty());
}

TEST_F(FilterSetFile, DamagedFileKeepsTheFiltersItCanDelimit) {
    ASSERT_TRUE(writeFile(path("damaged.xml"),
                          fileWithFilters("<filter Criteria=\"1\" TextField=\"a\"/>\r\n"
                                          "<filter Criteria=\"1\" TextField=\"b\">\r\n"
                                          "<filter Criteria=\"1\" TextField=\"c\"/>\r\n")));
    QList<STR_FILTER_ITEM> list;
    EXPECT_TRUE(LoadFilterSet(path("damaged.xml"), list).ok());
    ASSERT_EQ(list.size(), 3); // b is never ended, so c becomes its sibling
    EXPECT_EQ(list[2].TextField, "c");
}

TEST_F(FilterSetFile, DuplicatesAreDroppedOnLoadAndAppend) {
    ASSERT_TRUE(
        writeFile(path("dups.xml"),
                  fileWithFilters("<filter Criteria=\"0\" TextField=\"ABC\" MatchCase=\"1\"/>\r\n"
                                  "<filter Criteria=\"0\" TextField=\"abc\"/>\r\n"
                                  "<filter Criteria=\"0\" TextField=\"abd\"/>\r\n")));
    QList<STR_FILTER_ITEM> list;
    ASSERT_TRUE(LoadFilterSet(path("dups.xml"), list).ok());
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(list[0].TextField, "ABC"); // the first occurrence wins
    EXPECT_EQ(list[0].MatchCase, 1);

    ASSERT_TRUE(SaveFilterSet(path("saved.xml"), list));
    EXPECT_TRUE(LoadFilterSet(path("saved.xml"), list, true).ok());
    EXPECT_EQ(list.size(), 2);

    ASSERT_TRUE(SaveFilterSet(path("example.xml"), exampleList()));
    EXPECT_TRUE(LoadFilterSet(path("example.xml"), list, true).ok());
    ASSERT_EQ(list.size(), 4);
    EXPECT_EQ(list[0].TextField, "ABC");
    EXPECT_EQ(list[3].NumericField, 100);
}

TEST_F(FilterSetFile, MissingUnreadableAndForeignFilesAreToldApart) {
    ASSERT_TRUE(
        writeFile(path("other.xml"), "<?xml version=\"1.0\"?><settings><body/></settings>"));
    ASSERT_TRUE(writeFile(path("nobody.xml"), "<filters><head/></filters>"));
    ASSERT_TRUE(writeFile(path("notxml.xml"), "just some text"));
    const struct {
        QString path;
        FilterSetLoadResult::Status status;
    } cases[] = {
        {path("missing.xml"), FilterSetLoadResult::Unreadable},
        {dir.path(), FilterSetLoadResult::Unreadable},
        {path("other.xml"), FilterSetLoadResult::NotFilterSet},
        {path("nobody.xml"), FilterSetLoadResult::NotFilterSet},
        {path("notxml.xml"), FilterSetLoadResult::NotFilterSet},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        QList<STR_FILTER_ITEM> replaced = exampleList();
        const FilterSetLoadResult result = LoadFilterSet(c.path, replaced);
        EXPECT_EQ(result.status, c.status);
        EXPECT_FALSE(result.errorText.isEmpty());
        EXPECT_TRUE(replaced.isEmpty());
        QList<STR_FILTER_ITEM> appended = exampleList();
        LoadFilterSet(c.path, appended, true);
        EXPECT_EQ(appended, exampleList());
    }
}

TEST_F(FilterSetFile, FailedSaveKeepsTheOldFile) {
    ASSERT_TRUE(SaveFilterSet(path("Filters.xml"), exampleList()));
    const QByteArray before = readFile(path("Filters.xml"));
    QList<STR_FILTER_ITEM> large;
    for (int i = 0; i < 100; ++i)
        large.append(textFilter(1, 0, QString::number(i)));

    // A file-size limit makes the write fail part-way, as a full disk would.
    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    QString error;
    const bool written = SaveFilterSet(path("Filters.xml"), large, &error);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(written);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(readFile(path("Filters.xml")), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"Filters.xml"});

    EXPECT_FALSE(SaveFilterSet(dir.path(), exampleList())); // the path names a folder
    EXPECT_TRUE(QFileInfo(dir.path()).isDir());
}
