// SPDX-License-Identifier: GPL-3.0-or-later
#include "TextRoom.h"
#include "WindowFixture.h"
#include "ui/filters/FilterEditor.h"
#include "ui/picker/CSelectFolderDialog.h"
#include "ui/settings/CListBoxST.h"
#include "ui/settings/FormSettings.h"
#include "ui/tree/FolderTreeWidget.h"

#include <QApplication>
#include <QComboBox>
#include <QListView>
#include <QTest>
#include <QTreeWidgetItemIterator>
#include <gmock/gmock.h>

using namespace parcelo;
using namespace parcelo::ui;
using parcelo::test::CutOffTexts;
using parcelo::test::MisplacedControls;
using parcelo::test::WindowFixture;
using ::testing::IsEmpty;

namespace {

// The application's font at `scale` times its size while the test runs.
class ScaledFont {
public:
    explicit ScaledFont(qreal scale) : saved_(QApplication::font()) {
        QFont font = saved_;
        font.setPointSizeF(saved_.pointSizeF() * scale);
        QApplication::setFont(font);
    }
    ~ScaledFont() { QApplication::setFont(saved_); }
    ScaledFont(const ScaledFont&) = delete;
    ScaledFont& operator=(const ScaledFont&) = delete;

private:
    QFont saved_;
};

// The platform's own font, and one half as large again.
constexpr qreal kFontScales[] = {1.0, 1.5};

void resizeTo(QWidget& window, QSize size) {
    window.resize(size);
    QCoreApplication::processEvents();
}

class TextFitTest : public WindowFixture {};

} // namespace

TEST_F(TextFitTest, MainWindowTextsFitAtTheMinimumAndTheUsualSize) {
    for (const qreal scale : kFontScales) {
        SCOPED_TRACE(testing::Message() << "font scale " << scale);
        const ScaledFont font(scale);
        open().show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        if (scale == 1.0) {
            EXPECT_LE(window->minimumWidth(), 700);
            EXPECT_LE(window->minimumHeight(), 400);
        }
        FolderTreeWidget& tree = window->Tree();
        tree.expandAll();
        const FilterEditor::Controls& c = window->Editor().Widgets();
        // A larger font may need more than the usual size.
        for (const QSize wanted : {window->minimumSize(), QSize(800, 500)}) {
            const QSize size = wanted.expandedTo(window->minimumSize());
            SCOPED_TRACE(testing::Message() << size.width() << "x" << size.height());
            resizeTo(*window, size);
            ASSERT_EQ(window->size(), size);
            QStringList cutOff;
            // Each kind of filter shows its own operators and values.
            for (int field = 0; field < c.field->count(); ++field) {
                c.field->setCurrentIndex(field);
                cutOff << CutOffTexts(*window);
            }
            // The information panel below the tree, for each entry.
            for (QTreeWidgetItemIterator it(&tree); *it; ++it) {
                tree.setCurrentItem(*it);
                cutOff << CutOffTexts(*window);
            }
            cutOff.removeDuplicates();
            EXPECT_THAT(cutOff, IsEmpty());
            EXPECT_THAT(MisplacedControls(*window->centralWidget(), 4), IsEmpty());
        }
        window.reset();
    }
}

TEST_F(TextFitTest, SettingsPagesTextsFitAtTheirFirstAndTheirMinimumSize) {
    for (const qreal scale : kFontScales) {
        SCOPED_TRACE(testing::Message() << "font scale " << scale);
        const ScaledFont font(scale);
        FormSettings dialog(app, FormSettings::FilesNamingConvention);
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        for (const QSize size : {dialog.size(), dialog.minimumSize()}) {
            SCOPED_TRACE(testing::Message() << size.width() << "x" << size.height());
            resizeTo(dialog, size);
            QStringList cutOff;
            for (int category = 0; category < dialog.CategoryList()->count(); ++category) {
                dialog.CategoryList()->setCurrentRow(category);
                QCoreApplication::processEvents();
                cutOff << CutOffTexts(dialog);
            }
            cutOff.removeDuplicates();
            EXPECT_THAT(cutOff, IsEmpty());
        }
    }
}

TEST_F(TextFitTest, FolderPickerTextsFitAsItOpensAndAtItsMinimumSize) {
    for (const qreal scale : kFontScales) {
        SCOPED_TRACE(testing::Message() << "font scale " << scale);
        const ScaledFont font(scale);
        CSelectFolderDialog dialog;
        dialog.SetTitle(QStringLiteral("Export messages to folder:"));
        dialog.SetStartFolder(work.path());
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        // The list at the top shows the path of the folder shown, which may be of any length.
        const auto* path = dialog.findChild<QComboBox*>(QStringLiteral("lookInCombo"));
        ASSERT_NE(path, nullptr);
        EXPECT_THAT(CutOffTexts(dialog, {path}), IsEmpty());
        // Each place in the list on the left shows its whole name beside its icon.
        const auto* places = dialog.findChild<QListView*>(QStringLiteral("sidebar"));
        ASSERT_NE(places, nullptr);
        ASSERT_GT(places->model()->rowCount(), 0);
        for (int row = 0; row < places->model()->rowCount(); ++row) {
            const QString name = places->model()->index(row, 0).data().toString();
            EXPECT_LE(places->fontMetrics().horizontalAdvance(name) + places->iconSize().width(),
                      places->viewport()->width())
                << name.toStdString();
        }
        resizeTo(dialog, dialog.minimumSize());
        EXPECT_THAT(CutOffTexts(dialog, {path}), IsEmpty());
    }
}
