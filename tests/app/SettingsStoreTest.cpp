// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/SettingsStore.h"

#include "app/CParceloApp.h"
#include "app/WindowPlacement.h"
#include "filters/FilterSetFile.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace parcelo;

namespace {

QString iniPath() {
    return qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/Parcelo/Parcelo.ini");
}

class SettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override { QFile::remove(iniPath()); }
    void TearDown() override { QFile::remove(iniPath()); }
    void writeIni(const QByteArray& text) { ASSERT_TRUE(test::writeFile(iniPath(), text)); }
};

} // namespace

TEST_F(SettingsStoreTest, MissingStoreReadsDefaultsAndFirstWriteCreatesIt) {
    EXPECT_EQ(ReadSettingInt("Settings", "FolderOption", 1), 1);
    EXPECT_EQ(ReadSettingString("Settings", "ExtensionMessages", "eml"), "eml");
    WriteSettingInt("Settings", "FolderOption", 4);
    WriteSettingString("Destination", "FolderPath", "/tmp/out, with comma/");
    EXPECT_TRUE(QFile::exists(iniPath()));
    EXPECT_EQ(ReadSettingInt("Settings", "FolderOption", 1), 4);
    EXPECT_EQ(ReadSettingString("Destination", "FolderPath", "x"), "/tmp/out, with comma/");
}

TEST_F(SettingsStoreTest, ReadsFallBackLikeTheStoredForm) {
    const QString long255(255, QLatin1Char('a'));
    const QString long254(254, QLatin1Char('b'));
    writeIni("[Settings]\n"
             "ExtensionMessages=\n"
             "FileOption=abcdef\n"
             "MessageOption=99999999999\n"
             "AntiDateFiles=-7\n"
             "CompactMailboxes= 1 \n"
             "[Destination]\n"
             "FolderPath=" +
             long255.toUtf8() +
             "\n"
             "[Paths]\n"
             "Filters=" +
             long254.toUtf8() + "\n");
    EXPECT_EQ(ReadSettingString("Settings", "ExtensionMessages", "eml"), "eml");
    EXPECT_EQ(ReadSettingInt("Settings", "FileOption", 2), 2);    // not a number
    EXPECT_EQ(ReadSettingInt("Settings", "MessageOption", 0), 0); // not 32-bit
    EXPECT_EQ(ReadSettingInt("Settings", "AntiDateFiles", 1), -7);
    EXPECT_EQ(ReadSettingInt("Settings", "CompactMailboxes", 0), 1);
    EXPECT_EQ(ReadSettingString("Destination", "FolderPath", "dflt"), "dflt"); // over 254
    EXPECT_EQ(ReadSettingString("Paths", "Filters", "dflt"), long254);
}

TEST_F(SettingsStoreTest, AppReadsEverySectionWithItsDefaults) {
    CParceloApp app;
    app.Paths = AppPaths::ForFolder("/tmp/parcelo-app");
    app.ReadStartupSettings();
    app.ReadWindowSettings();
    EXPECT_EQ(app.FolderPath, "/tmp/parcelo-app/");
    EXPECT_EQ(app.FiltersFolder, "/tmp/parcelo-app/");
    EXPECT_EQ(app.FolderOption, 1);
    EXPECT_EQ(app.FileOption, 2);
    EXPECT_EQ(app.ExtensionMessages, "eml");
    EXPECT_EQ(app.MessageOption, 0);
    EXPECT_EQ(app.AntiDateFiles, 1);
    EXPECT_EQ(app.ExportHeaders, 2);
    EXPECT_EQ(app.ExportAttachments, 2);
    EXPECT_EQ(app.CompactMailboxes, 0);
    EXPECT_EQ(app.ActionMarkRead, 0);
    EXPECT_EQ(app.ActionDelete, 0);
    EXPECT_EQ(app.Filters.MatchAllFilters, 0);
    EXPECT_EQ(app.Filters.MatchAllMessages, 0);

    writeIni("[Settings]\nFileOption=7\nActionDelete=1\nExtensionMessages=txt\n"
             "[Filters]\nMatchAllFilters=1\n[Destination]\nFolderPath=/srv/mail/\n");
    app.ReadStartupSettings();
    app.ReadWindowSettings();
    EXPECT_EQ(app.FileOption, 7);
    EXPECT_EQ(app.ActionDelete, 1);
    EXPECT_EQ(app.ExtensionMessages, "txt");
    EXPECT_EQ(app.Filters.MatchAllFilters, 1);
    EXPECT_EQ(app.FolderPath, "/srv/mail/");
}

TEST_F(SettingsStoreTest, HandWrittenTextsReadAsWritten) {
    // An unquoted comma would make the INI reader split the text into a list.
    writeIni("[Destination]\nFolderPath=/tmp/My Mail, old/\n"
             "[Settings]\nExtensionMessages=a,b\nFolderOption=3\n");
    EXPECT_EQ(ReadSettingString("Destination", "FolderPath", "x"), "/tmp/My Mail, old/");
    EXPECT_EQ(ReadSettingString("Settings", "ExtensionMessages", "eml"), "a,b");
    EXPECT_EQ(ReadSettingInt("Settings", "FolderOption", 1), 3);
}

TEST_F(SettingsStoreTest, WindowAndDialogWritesRoundTrip) {
    CParceloApp app;
    app.Paths = AppPaths::ForFolder("/tmp/parcelo-app");
    app.ActionMarkRead = 1;
    app.ActionDelete = 1;
    app.Filters.MatchAllFilters = 1;
    app.Filters.MatchAllMessages = 1;
    app.FolderPath = "/tmp/out, with comma/";
    app.FileOption = 9;
    app.ExtensionMessages = "msg";
    app.CompactMailboxes = 1;
    app.WriteSettings(SettingWrite::WindowClose);
    app.WriteSettings(SettingWrite::NamingPage);

    CParceloApp again;
    again.Paths = app.Paths;
    again.ReadStartupSettings();
    again.ReadWindowSettings();
    EXPECT_EQ(again.ActionMarkRead, 1);
    EXPECT_EQ(again.ActionDelete, 1);
    EXPECT_EQ(again.Filters.MatchAllFilters, 1);
    EXPECT_EQ(again.Filters.MatchAllMessages, 1);
    EXPECT_EQ(again.FolderPath, "/tmp/out, with comma/");
    EXPECT_EQ(again.FileOption, 9);
    EXPECT_EQ(again.ExtensionMessages, "msg");
    // Misc was not applied: its key keeps the default.
    EXPECT_EQ(again.CompactMailboxes, 0);

    QFile ini(iniPath());
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    const QByteArray text = ini.readAll();
    EXPECT_FALSE(text.contains("ProcessPriority"));
    EXPECT_FALSE(text.contains("Paths"));
}

TEST_F(SettingsStoreTest, PlacementKeepsTheLastNormalRectangle) {
    EXPECT_EQ(WindowPlacement::Read().Width, 800);
    EXPECT_EQ(WindowPlacement::Read().Left, 10);
    WindowPlacement normal{20, 30, 900, 600, WindowPlacement::Normal};
    normal.Write();
    WindowPlacement maximised{0, 0, 1920, 1080, WindowPlacement::Maximised};
    maximised.Write();
    const WindowPlacement read = WindowPlacement::Read();
    EXPECT_EQ(read.Left, 20);
    EXPECT_EQ(read.Top, 30);
    EXPECT_EQ(read.Width, 900);
    EXPECT_EQ(read.Height, 600);
    EXPECT_EQ(read.WindowState, WindowPlacement::Maximised);

    EXPECT_EQ(ReadLastCategory(), 0);
    WriteLastCategory(3);
    EXPECT_EQ(ReadLastCategory(), 3);
    WriteStorePath("/srv/mail, archive");
    EXPECT_EQ(ReadStorePath(), "/srv/mail, archive");
}

TEST(CParceloApp, OverrideSettingActsLikeAStoredValue) {
    CParceloApp app;
    QString error;
    EXPECT_TRUE(app.OverrideSetting("FileOption", "4", &error));
    EXPECT_EQ(app.FileOption, 4);
    EXPECT_TRUE(app.OverrideSetting("MatchAllMessages", "1", &error));
    EXPECT_EQ(app.Filters.MatchAllMessages, 1);
    EXPECT_TRUE(app.OverrideSetting("ExtensionMessages", "", &error));
    EXPECT_EQ(app.ExtensionMessages, "eml");
    EXPECT_FALSE(app.OverrideSetting("ActionDelete", "yes", &error));
    EXPECT_TRUE(error.contains("ActionDelete"));
    EXPECT_FALSE(app.OverrideSetting("LastCategory", "1", &error));
    EXPECT_FALSE(app.OverrideSetting("Width", "1", &error));
}

TEST(CParceloApp, FilterSetLoadedAtStartAndRewrittenAtExit) {
    QTemporaryDir dir;
    CParceloApp app;
    app.Paths = AppPaths::ForFolder(dir.path());
    STR_FILTER_ITEM item;
    item.Criteria = 1;
    item.TextField = QStringLiteral("invoice");
    ASSERT_TRUE(SaveFilterSet(app.Paths.FilterSetFile, {item}));
    app.ReadStartupSettings();
    ASSERT_EQ(app.Filters.items.size(), 1);

    // A second instance leaves the file to the running one.
    app.Filters.items.clear();
    app.SecondInstance = true;
    EXPECT_TRUE(app.ExitInstance());
    CParceloApp again;
    again.Paths = app.Paths;
    again.ReadStartupSettings();
    EXPECT_EQ(again.Filters.items.size(), 1);

    app.SecondInstance = false;
    EXPECT_TRUE(app.ExitInstance());
    again.ReadStartupSettings();
    EXPECT_TRUE(again.Filters.items.isEmpty());
    EXPECT_TRUE(QFile::exists(app.Paths.FilterSetFile));
}
