// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/DamagedFilterSet.h"

#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace parcelo;

namespace {

const QByteArray kOneFilter =
    "<?xml version=\"1.0\" encoding=\"ISO-8859-2\"?>\r\n<filters>\r\n<body>\r\n"
    "<filter Criteria=\"1\" ConjunctionOption=\"0\" TextField=\"LUNCH\" MatchCase=\"0\" "
    "NumericField=\"0\" Date=\"\" NumericValue=\"0\"/>\r\n</body>\r\n</filters>\r\n";
const QByteArray kForeign = "<?xml version=\"1.0\"?>\r\n<settings><filter/></settings>\r\n";

class DamagedFilterSetTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    // A fresh start of the application over the folder as it is now.
    CParceloApp start() {
        CParceloApp app;
        app.Paths = AppPaths::ForFolder(dir.path());
        app.ReadStartupSettings();
        return app;
    }
    QString path(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
};

} // namespace

TEST_F(DamagedFilterSetTest, OnlyAFileThatIsThereButNoFilterSetIsDamaged) {
    struct Case {
        const char* what;
        QByteArray content; // empty: no file
        bool damaged;
    } cases[] = {
        {"missing", {}, false},
        {"a filter set", kOneFilter, false},
        {"foreign XML", kForeign, true},
        {"not XML at all", "\x01\x02 binary", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(path("Filters.xml"));
        if (!c.content.isEmpty()) {
            ASSERT_TRUE(test::writeFile(path("Filters.xml"), c.content));
        }
        CParceloApp app = start();
        EXPECT_EQ(FilterSetFileDamaged(app), c.damaged);
        EXPECT_EQ(SetAsideDamagedFilterSet(app).isEmpty(), !c.damaged);
        EXPECT_EQ(QFile::exists(path("Filters.xml")), !c.content.isEmpty() && !c.damaged);
        QFile::remove(path("Filters.xml.damaged"));
    }
    // A folder in its place cannot be read either: it is kept, never taken as no filters.
    ASSERT_TRUE(QDir().mkdir(path("Filters.xml")));
    EXPECT_TRUE(FilterSetFileDamaged(start()));
}

TEST_F(DamagedFilterSetTest, TheWindowKeepsTheDamagedFileAsideAndStartsEmpty) {
    ASSERT_TRUE(test::writeFile(path("Filters.xml"), kForeign));
    CParceloApp app = start();
    const QString warning = SetAsideDamagedFilterSet(app);
    EXPECT_TRUE(warning.contains(path("Filters.xml.damaged"))) << warning.toStdString();
    EXPECT_TRUE(warning.contains("No filter set in the file")) << warning.toStdString();
    EXPECT_TRUE(app.Filters.items.isEmpty());
    EXPECT_EQ(test::readFile(path("Filters.xml.damaged")), kForeign);
    // Warned once: the next start finds no file and says nothing.
    CParceloApp next = start();
    EXPECT_TRUE(SetAsideDamagedFilterSet(next).isEmpty());

    // The set written at exit goes to Filters.xml; the damaged copy stays as it was.
    ASSERT_TRUE(app.ExitInstance());
    EXPECT_TRUE(start().FilterSetLoad.ok());
    EXPECT_EQ(test::readFile(path("Filters.xml.damaged")), kForeign);

    // A second damaged file never replaces the first copy.
    ASSERT_TRUE(test::writeFile(path("Filters.xml"), "garbage"));
    CParceloApp again = start();
    EXPECT_TRUE(SetAsideDamagedFilterSet(again).contains(path("Filters.xml.damaged.1")));
    EXPECT_EQ(test::readFile(path("Filters.xml.damaged")), kForeign);
    EXPECT_EQ(test::readFile(path("Filters.xml.damaged.1")), "garbage");
}
