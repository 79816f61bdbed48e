// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CParceloApp.h"
#include "app/SettingsStore.h"
#include "support/TestEnv.h"
#include "ui/settings/CListBoxST.h"
#include "ui/settings/CategoryIcons.h"
#include "ui/settings/FormCategoryFNC.h"
#include "ui/settings/FormCategoryHeaders.h"
#include "ui/settings/FormCategoryMisc.h"
#include "ui/settings/FormSettings.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace parcelo;

namespace {

QString iniPath() {
    return qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/Parcelo/Parcelo.ini");
}

QStringList storedKeys() {
    QSettings settings(iniPath(), QSettings::IniFormat);
    return settings.allKeys();
}

class SettingsDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        QFile::remove(iniPath());
        ASSERT_TRUE(tmp.isValid());
        app.Paths = AppPaths::ForFolder(tmp.path());
    }
    void TearDown() override { QFile::remove(iniPath()); }

    QTemporaryDir tmp;
    CParceloApp app;
};

FormCategoryFNC* fncPage(const FormSettings& dialog) {
    return static_cast<FormCategoryFNC*>(dialog.Page(FormSettings::FilesNamingConvention));
}

FormCategoryHeaders* headersPage(const FormSettings& dialog) {
    return static_cast<FormCategoryHeaders*>(dialog.Page(FormSettings::ExportHeaders));
}

void addName(FormCategoryNameList* page, const QString& name) {
    page->NameBox()->setText(name);
    QTest::mouseClick(page->AddButton(), Qt::LeftButton);
}

} // namespace

TEST_F(SettingsDialogTest, OkWithoutChangesWritesOnlyTheCategory) {
    FormSettings dialog(app, FormSettings::ExportAttachments);
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "Settings - Export Attachments");
    EXPECT_FALSE(dialog.ApplyButton()->isEnabled());
    QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(storedKeys(), QStringList{"Settings/LastCategory"});
    EXPECT_EQ(ReadSettingInt("Settings", "LastCategory", 0), 2);
}

TEST_F(SettingsDialogTest, CategoryCommandOpensThePageLastConfirmedWithOk) {
    {
        FormSettings dialog(app, FormSettings::Misc);
        dialog.show();
        dialog.OnOK();
    }
    {
        // A menu entry opens its own page whatever was confirmed; Cancel remembers nothing.
        FormSettings dialog(app, FormSettings::ExportHeaders);
        dialog.show();
        EXPECT_EQ(dialog.CategoryList()->currentRow(), 1);
        QTest::mouseClick(dialog.CancelButton(), Qt::LeftButton);
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
    }
    FormSettings dialog(app, FormSettings::kLastConfirmed);
    dialog.show();
    EXPECT_EQ(dialog.CategoryList()->currentRow(), 3);
    EXPECT_EQ(dialog.windowTitle(), "Settings - Misc");
    EXPECT_TRUE(dialog.Page(FormSettings::Misc)->isVisible());
    EXPECT_FALSE(dialog.Page(FormSettings::FilesNamingConvention)->isVisible());
}

TEST_F(SettingsDialogTest, StoredCategoryOutsideTheListShowsNoPage) {
    WriteSettingInt("Settings", "LastCategory", 7);
    FormSettings dialog(app, FormSettings::kLastConfirmed);
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "Settings - ");
    EXPECT_EQ(dialog.ShownPage(), nullptr);
    for (int category = 0; category < 4; ++category)
        EXPECT_FALSE(dialog.Page(category)->isVisible());
}

TEST_F(SettingsDialogTest, TabMarksThePageDirtyAndApplyFollowsTheShownPage) {
    FormSettings dialog(app, FormSettings::FilesNamingConvention);
    dialog.show();
    FormCategoryFNC* page = fncPage(dialog);
    EXPECT_FALSE(page->IsDirty());
    page->ExtensionBox()->setFocus();
    QTest::keyClick(page->ExtensionBox(), Qt::Key_Tab);
    EXPECT_TRUE(page->IsDirty());
    EXPECT_TRUE(dialog.ApplyButton()->isEnabled());

    dialog.CategoryList()->setCurrentRow(FormSettings::Misc);
    EXPECT_EQ(dialog.windowTitle(), "Settings - Misc");
    EXPECT_FALSE(dialog.ApplyButton()->isEnabled());
    dialog.CategoryList()->setCurrentRow(FormSettings::FilesNamingConvention);
    EXPECT_TRUE(dialog.ApplyButton()->isEnabled());

    // A click on a control marks a clean page too.
    dialog.CategoryList()->setCurrentRow(FormSettings::Misc);
    auto* misc = static_cast<FormCategoryMisc*>(dialog.Page(FormSettings::Misc));
    QTest::mouseClick(misc->CompactBox(), Qt::LeftButton);
    EXPECT_TRUE(misc->IsDirty());
    EXPECT_TRUE(dialog.ApplyButton()->isEnabled());
}

TEST_F(SettingsDialogTest, ApplyWritesTheShownPageOnlyAndUpdatesTheApplication) {
    FormSettings dialog(app, FormSettings::FilesNamingConvention);
    dialog.show();
    FormCategoryFNC* page = fncPage(dialog);
    page->FolderList()->setCurrentIndex(4);
    page->FileList()->setCurrentIndex(7);
    QTest::mouseClick(page->ExtensionBox(), Qt::LeftButton);
    page->ExtensionBox()->setText("msg");
    page->AntiDateBox()->setChecked(false);
    page->CollisionList()->setCurrentIndex(2);
    QTest::mouseClick(dialog.ApplyButton(), Qt::LeftButton);

    EXPECT_FALSE(page->IsDirty());
    EXPECT_FALSE(dialog.ApplyButton()->isEnabled());
    EXPECT_EQ(app.FolderOption, 4);
    EXPECT_EQ(app.FileOption, 7);
    EXPECT_EQ(app.ExtensionMessages, "msg");
    EXPECT_EQ(app.AntiDateFiles, 0);
    EXPECT_EQ(app.MessageOption, 2);
    EXPECT_EQ(ReadSettingInt("Settings", "FolderOption", 1), 4);
    EXPECT_EQ(ReadSettingInt("Settings", "FileOption", 2), 7);
    EXPECT_EQ(ReadSettingString("Settings", "ExtensionMessages", "eml"), "msg");
    EXPECT_EQ(ReadSettingInt("Settings", "AntiDateFiles", 1), 0);
    EXPECT_EQ(ReadSettingInt("Settings", "MessageOption", 0), 2);
    EXPECT_EQ(storedKeys().size(), 5);
}

TEST_F(SettingsDialogTest, ResetThenCancelChangesNothing) {
    WriteSettingInt("Settings", "FolderOption", 5);
    WriteSettingInt("Settings", "FileOption", 9);
    WriteSettingString("Settings", "ExtensionMessages", "txt");
    WriteSettingInt("Settings", "AntiDateFiles", 0);
    WriteSettingInt("Settings", "MessageOption", 1);
    app.ReadStartupSettings();
    const QByteArray before = test::readFile(iniPath());

    FormSettings dialog(app, FormSettings::FilesNamingConvention);
    dialog.show();
    QTest::mouseClick(dialog.ResetButton(), Qt::LeftButton);
    FormCategoryFNC* page = fncPage(dialog);
    EXPECT_EQ(page->FolderList()->currentIndex(), 1);
    EXPECT_EQ(page->FileList()->currentIndex(), 2);
    EXPECT_EQ(page->ExtensionBox()->text(), "eml");
    EXPECT_TRUE(page->AntiDateBox()->isChecked());
    EXPECT_EQ(page->CollisionList()->currentIndex(), 0);
    EXPECT_TRUE(dialog.ApplyButton()->isEnabled());
    QTest::mouseClick(dialog.CancelButton(), Qt::LeftButton);

    EXPECT_EQ(test::readFile(iniPath()), before);
    EXPECT_EQ(app.FolderOption, 5);
    EXPECT_EQ(app.FileOption, 9);
    EXPECT_EQ(app.ExtensionMessages, "txt");
    EXPECT_EQ(app.AntiDateFiles, 0);
    EXPECT_EQ(app.MessageOption, 1);
}

TEST_F(SettingsDialogTest, EnterEscapeAndCloseRequestsKeepTheDialogOpen) {
    FormSettings dialog(app, FormSettings::FilesNamingConvention);
    dialog.show();
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_TRUE(dialog.isVisible());
    fncPage(dialog)->ExtensionBox()->setFocus();
    QTest::keyClick(fncPage(dialog)->ExtensionBox(), Qt::Key_Return);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(dialog.close());
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(storedKeys().isEmpty());
}

TEST_F(SettingsDialogTest, HeaderNamesAreEditedInPlaceWithExactDuplicates) {
    app.ExportHeaders = 0;
    FormSettings dialog(app, FormSettings::ExportHeaders);
    dialog.show();
    FormCategoryHeaders* page = headersPage(dialog);
    EXPECT_TRUE(page->NoneButton()->isChecked());
    EXPECT_FALSE(page->ListView()->isEnabled());

    addName(page, "Subject");
    addName(page, "Subject");
    addName(page, "subject");
    addName(page, "");
    addName(page, "From");
    EXPECT_EQ(app.HeaderList, (QStringList{"Subject", "subject", "From"}));
    EXPECT_FALSE(page->UpdateButton()->isEnabled());
    EXPECT_FALSE(page->RemoveButton()->isEnabled());

    QTest::mouseClick(page->SomeButton(), Qt::LeftButton);
    EXPECT_TRUE(page->ListView()->isEnabled());
    page->ListView()->selectRow(1);
    EXPECT_TRUE(page->UpdateButton()->isEnabled());
    EXPECT_EQ(page->NameBox()->text(), "From"); // selecting does not copy the name
    page->NameBox()->setText("Subject");
    QTest::mouseClick(page->UpdateButton(), Qt::LeftButton); // no duplicate test on Update
    EXPECT_EQ(app.HeaderList, (QStringList{"Subject", "Subject", "From"}));
    page->ListView()->selectRow(0);
    QTest::mouseClick(page->RemoveButton(), Qt::LeftButton);
    EXPECT_EQ(app.HeaderList, (QStringList{"Subject", "From"}));
    EXPECT_FALSE(QFile::exists(app.Paths.HeaderListFile));

    QTest::mouseClick(dialog.ApplyButton(), Qt::LeftButton);
    EXPECT_EQ(test::readFile(app.Paths.HeaderListFile), "Subject\r\nFrom\r\n");
    EXPECT_EQ(app.ExportHeaders, 1);
    EXPECT_EQ(ReadSettingInt("Settings", "ExportHeaders", 2), 1);

    QTest::mouseClick(dialog.ResetButton(), Qt::LeftButton);
    EXPECT_TRUE(page->AllButton()->isChecked());
    EXPECT_FALSE(page->ListView()->isEnabled());
    EXPECT_EQ(app.HeaderList, (QStringList{"Subject", "From"}));
}

TEST_F(SettingsDialogTest, NameListEditsStayInMemoryAfterCancel) {
    FormSettings dialog(app, FormSettings::ExportAttachments);
    dialog.show();
    auto* page = static_cast<FormCategoryNameList*>(dialog.Page(FormSettings::ExportAttachments));
    addName(page, "My Document.doc");
    QTest::mouseClick(dialog.CancelButton(), Qt::LeftButton);
    EXPECT_EQ(app.AttachmentList, QStringList{"My Document.doc"});
    EXPECT_FALSE(QFile::exists(app.Paths.AttachmentListFile));
    EXPECT_TRUE(storedKeys().isEmpty());
}

TEST_F(SettingsDialogTest, SelectedCategoryIsDrawnInTheHighlightColour) {
    FormSettings dialog(app, FormSettings::ExportHeaders);
    dialog.show();
    CListBoxST* list = dialog.CategoryList();
    const QImage image = list->viewport()->grab().toImage();
    const QPalette palette = list->palette();
    const auto pixel = [&](int row, int x) {
        const QRect rect = list->visualItemRect(list->item(row));
        return QColor(image.pixel(x, rect.center().y())).rgb();
    };
    const int right = list->viewport()->width() - 3;
    EXPECT_EQ(pixel(1, 1), palette.color(QPalette::Highlight).rgb());
    EXPECT_EQ(pixel(1, right), palette.color(QPalette::Highlight).rgb());
    EXPECT_EQ(pixel(3, 1), palette.color(QPalette::Base).rgb());
    EXPECT_EQ(pixel(3, right), palette.color(QPalette::Base).rgb());
    const QRect row = list->visualItemRect(list->item(1));
    EXPECT_GE(row.height(), kCategoryIconSize + 8);
}

TEST_F(SettingsDialogTest, FocusRectangleFramesTheWholeFocusedEntry) {
    FormSettings dialog(app, FormSettings::ExportHeaders);
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    CListBoxST* list = dialog.CategoryList();
    list->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->hasFocus(); }));
    const QImage image = list->viewport()->grab().toImage();
    const QRect row = list->visualItemRect(list->item(1));
    const QRgb highlight = list->palette().color(QPalette::Highlight).rgb();
    int framed = 0;
    for (int x = row.left(); x < row.right(); x += 2)
        framed += QColor(image.pixel(x, row.top())).rgb() != highlight ? 1 : 0;
    EXPECT_GT(framed, row.width() / 8); // dots along the top edge
    EXPECT_EQ(QColor(image.pixel(row.left() + 1, row.center().y())).rgb(), highlight);
}

TEST_F(SettingsDialogTest, MiscPageShowsAndAppliesWhichMessagesAnExportTakesAndTheCsvIndex) {
    WriteSettingInt("Settings", "OnlyNew", 1);
    app.ReadStartupSettings();
    ASSERT_EQ(app.OnlyNew, 1);
    ASSERT_EQ(app.IndexCsv, 0);
    FormSettings dialog(app, FormSettings::Misc);
    dialog.show();
    auto* misc = static_cast<FormCategoryMisc*>(dialog.Page(FormSettings::Misc));
    EXPECT_TRUE(misc->OnlyNewBox()->isChecked());
    EXPECT_FALSE(misc->IndexCsvBox()->isChecked());
    QTest::mouseClick(misc->IndexCsvBox(), Qt::LeftButton);
    QTest::mouseClick(dialog.ApplyButton(), Qt::LeftButton);
    EXPECT_EQ(app.IndexCsv, 1);
    EXPECT_EQ(ReadSettingInt("Settings", "IndexCsv", 0), 1);
    EXPECT_EQ(ReadSettingInt("Settings", "OnlyNew", 0), 1);

    QTest::mouseClick(dialog.ResetButton(), Qt::LeftButton);
    EXPECT_FALSE(misc->OnlyNewBox()->isChecked());
    EXPECT_FALSE(misc->IndexCsvBox()->isChecked());
    QTest::mouseClick(dialog.ApplyButton(), Qt::LeftButton);
    EXPECT_EQ(app.OnlyNew, 0);
    EXPECT_EQ(app.IndexCsv, 0);
    EXPECT_EQ(ReadSettingInt("Settings", "OnlyNew", 1), 0);
    EXPECT_EQ(ReadSettingInt("Settings", "IndexCsv", 1), 0);
}
