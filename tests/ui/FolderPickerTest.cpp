#include "support/TestEnv.h"
#include "ui/picker/CSelectFolderDialog.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace parcelo;

TEST(FolderPicker, OneTrailingSeparator) {
    const struct {
        const char* path;
        const char* folder;
    } cases[] = {
        {"/home/sam/out", "/home/sam/out/"},
        {"/home/sam/out/", "/home/sam/out/"},
        {"/home/sam/out///", "/home/sam/out/"},
        {"/home/sam/out/ \t", "/home/sam/out/"},
        {"/", "/"},
        {"///", "/"},
        {"", ""},
        {"  ", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CSelectFolderDialog::WithOneSeparator(c.path), QString::fromUtf8(c.folder))
            << c.path;
}

TEST(FolderPicker, SelectReturnsTheShownFolderWithOneSeparator) {
    QTemporaryDir tmp;
    ASSERT_TRUE(QDir(tmp.path()).mkpath("Export/Inner"));
    const QString folder = tmp.filePath("Export");
    for (const QString& start : {folder, folder + "/", folder + "///"}) {
        CSelectFolderDialog dialog;
        dialog.SetTitle("Export messages to folder:");
        dialog.SetStartFolder(start);
        dialog.show();
        EXPECT_EQ(dialog.windowTitle(), "Export messages to folder:");
        EXPECT_EQ(dialog.SelectionBox()->text(), folder + "/");
        EXPECT_TRUE(dialog.SelectionBox()->isReadOnly());
        ASSERT_NE(dialog.SelectButton(), nullptr);
        EXPECT_EQ(dialog.SelectButton()->text(), "&Select");
        EXPECT_TRUE(dialog.SelectButton()->isEnabled());
        // A folder selected in the list is not the result; the shown one is.
        dialog.selectFile(tmp.filePath("Export/Inner"));
        QTest::mouseClick(dialog.SelectButton(), Qt::LeftButton);
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(dialog.CurrentFolder(), folder + "/");
    }
}

TEST(FolderPicker, PlaceWithoutPathShowsNoneAndCannotBeSelected) {
    QTemporaryDir tmp;
    CSelectFolderDialog dialog;
    dialog.SetStartFolder(tmp.path());
    dialog.show();
    Q_EMIT dialog.directoryUrlEntered(QUrl());
    EXPECT_EQ(dialog.SelectionBox()->text(), "[None]");
    EXPECT_FALSE(dialog.SelectButton()->isEnabled());
    dialog.accept();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.CurrentFolder(), "");

    Q_EMIT dialog.directoryUrlEntered(QUrl::fromLocalFile(tmp.path()));
    EXPECT_TRUE(dialog.SelectButton()->isEnabled());
    dialog.reject();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST(FolderPicker, ChooseExportFolderRunsTheDialogModally) {
    QTemporaryDir tmp;
    const auto answerWith = [](bool select) {
        QTimer::singleShot(0, [select] {
            auto* dialog = qobject_cast<CSelectFolderDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->windowTitle(), "Export messages to folder:");
            if (select)
                QTest::mouseClick(dialog->SelectButton(), Qt::LeftButton);
            else
                dialog->reject();
        });
    };
    answerWith(true);
    EXPECT_EQ(CSelectFolderDialog::ChooseExportFolder(nullptr, tmp.path() + "//"),
              tmp.path() + "/");
    answerWith(false);
    EXPECT_EQ(CSelectFolderDialog::ChooseExportFolder(nullptr, tmp.path()), "");
}
