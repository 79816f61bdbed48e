// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/TestEnv.h"
#include "ui/picker/CSelectFolderDialog.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QDialogButtonBox>
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
        // Select stands left of No, on the same line.
        auto* buttons = dialog.findChild<QDialogButtonBox*>("buttonBox");
        ASSERT_NE(buttons, nullptr);
        const QPushButton* no = buttons->button(QDialogButtonBox::Cancel);
        ASSERT_NE(no, nullptr);
        EXPECT_EQ(no->text(), "&No");
        EXPECT_EQ(dialog.SelectButton()->y(), no->y());
        EXPECT_LT(dialog.SelectButton()->geometry().right(), no->x());
        // A folder selected in the list is not the result; the shown one is.
        dialog.selectFile(tmp.filePath("Export/Inner"));
        QTest::mouseClick(dialog.SelectButton(), Qt::LeftButton);
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(dialog.CurrentFolder(), folder + "/");
    }
}

namespace {

// Where a named view of the dialog shows the entry with that text, waiting for it to be listed.
QPoint EntryPoint(QAbstractItemView* view, const QString& text) {
    for (int attempt = 0; attempt < 200; ++attempt) {
        const QModelIndexList found = view->model()->match(
            view->rootIndex().isValid() ? view->model()->index(0, 0, view->rootIndex())
                                        : view->model()->index(0, 0),
            Qt::DisplayRole, text, 1, Qt::MatchExactly);
        if (!found.isEmpty()) {
            view->scrollTo(found.first());
            return view->visualRect(found.first()).center();
        }
        QTest::qWait(10);
    }
    return {};
}

} // namespace

TEST(FolderPicker, MovingBetweenFoldersWithTheMouseShowsAndSelectsTheFolderShown) {
    QTemporaryDir tmp;
    ASSERT_TRUE(QDir(tmp.path()).mkpath("Export/Inner"));
    CSelectFolderDialog dialog;
    dialog.SetStartFolder(tmp.filePath("Export"));
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    auto* list = dialog.findChild<QAbstractItemView*>("listView");
    ASSERT_NE(list, nullptr);
    const QPoint inner = EntryPoint(list, "Inner");
    ASSERT_FALSE(inner.isNull());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, inner);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, inner);
    EXPECT_EQ(dialog.SelectionBox()->text(), tmp.filePath("Export/Inner") + "/");

    // Up to the parent, by its button.
    auto* up = dialog.findChild<QAbstractButton*>("toParentButton");
    ASSERT_NE(up, nullptr);
    QTest::mouseClick(up, Qt::LeftButton);
    EXPECT_EQ(dialog.SelectionBox()->text(), tmp.filePath("Export") + "/");
    QTest::mouseClick(dialog.SelectButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.CurrentFolder(), tmp.filePath("Export") + "/");
}

TEST(FolderPicker, PlaceWithoutPathShowsNoneAndCannotBeSelected) {
    QTemporaryDir tmp;
    CSelectFolderDialog dialog;
    dialog.SetStartFolder(tmp.path());
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    // The side bar's "Computer" is a place without a path.
    auto* sidebar = dialog.findChild<QAbstractItemView*>("sidebar");
    ASSERT_NE(sidebar, nullptr);
    QModelIndex computer;
    for (int row = 0; row < sidebar->model()->rowCount(); ++row) {
        const QModelIndex index = sidebar->model()->index(row, 0);
        if (index.data(Qt::UserRole + 1).toUrl().toLocalFile().isEmpty())
            computer = index;
    }
    ASSERT_TRUE(computer.isValid());
    QTest::mouseClick(sidebar->viewport(), Qt::LeftButton, {},
                      sidebar->visualRect(computer).center());
    EXPECT_EQ(dialog.SelectionBox()->text(), "[None]");
    EXPECT_FALSE(dialog.SelectButton()->isEnabled());
    QTest::mouseClick(dialog.SelectButton(), Qt::LeftButton);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.CurrentFolder(), "");

    // Back to a folder: Select works again.
    QTest::mouseClick(dialog.findChild<QAbstractButton*>("backButton"), Qt::LeftButton);
    EXPECT_EQ(dialog.SelectionBox()->text(), QDir(tmp.path()).absolutePath() + "/");
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
