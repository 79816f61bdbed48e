#include "ui/tree/FolderTreeWidget.h"

#include "WindowFixture.h"
#include "ui/controls/CStatusBarACT.h"

#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTest>

using namespace parcelo;
using namespace parcelo::ui;
using parcelo::test::WindowFixture;

namespace {

class FolderTreeWidgetTest : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        open().show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        tree = &window->Tree();
        tree->expandAll();
    }

    QTreeWidgetItem* item(const QString& path, std::int32_t type) {
        QTreeWidgetItem* found = tree->ItemOf("store\\" + path, type);
        EXPECT_NE(found, nullptr) << path.toStdString();
        return found;
    }

    // A click on the item's check box, where the view's own delegate looks for it.
    void clickCheckBox(QTreeWidgetItem* target) {
        tree->scrollToItem(target);
        QStyleOptionViewItem option;
        option.initFrom(tree);
        option.rect = tree->visualItemRect(target);
        option.features = QStyleOptionViewItem::HasCheckIndicator |
                          QStyleOptionViewItem::HasDisplay | QStyleOptionViewItem::HasDecoration;
        option.decorationSize = tree->iconSize();
        const QRect box =
            tree->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, tree);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, box.center());
    }

    QString pane0() { return window->Status().PaneText(FormParcelo::kPaneChecked); }

    FolderTreeWidget* tree = nullptr;
};

} // namespace

TEST_F(FolderTreeWidgetTest, ClicksAndSpacePropagateChecksAndCountMailboxes) {
    QTreeWidgetItem* projects = item("Projects", kTreeFolder);
    clickCheckBox(projects);
    // The folder entry checks its sub-folders' entries, not its own mailbox entry.
    EXPECT_EQ(projects->checkState(0), Qt::Checked);
    EXPECT_EQ(item("Projects\\Beta\\Archive", kTreeMailbox)->checkState(0), Qt::Checked);
    EXPECT_EQ(item("Projects", kTreeMailbox)->checkState(0), Qt::Unchecked);
    EXPECT_EQ(pane0(), "3 mailboxes checked.");

    // Unchecking a child with Space unchecks every ancestor up to the root.
    QTreeWidgetItem* alpha = item("Projects\\Alpha", kTreeMailbox);
    tree->setCurrentItem(alpha);
    tree->setFocus();
    QTest::keyClick(tree, Qt::Key_Space);
    EXPECT_EQ(alpha->checkState(0), Qt::Unchecked);
    EXPECT_EQ(projects->checkState(0), Qt::Unchecked);
    EXPECT_EQ(pane0(), "2 mailboxes checked.");
    QTest::keyClick(tree, Qt::Key_Space);
    EXPECT_EQ(projects->checkState(0), Qt::Checked);

    tree->ClearAll();
    clickCheckBox(item("Sent", kTreeMailbox));
    EXPECT_EQ(pane0(), "One mailbox checked.");
}

TEST_F(FolderTreeWidgetTest, CheckAllAndClearAllFromTheMenuKeys) {
    QTest::keyClick(window.get(), Qt::Key_Plus, Qt::ControlModifier | Qt::KeypadModifier);
    for (QTreeWidgetItemIterator it(tree); *it; ++it)
        EXPECT_EQ((*it)->checkState(0), Qt::Checked) << (*it)->text(0).toStdString();
    EXPECT_EQ(pane0(), "10 mailboxes checked.");
    QTest::keyClick(window.get(), Qt::Key_Minus, Qt::ControlModifier | Qt::KeypadModifier);
    for (QTreeWidgetItemIterator it(tree); *it; ++it)
        EXPECT_EQ((*it)->checkState(0), Qt::Unchecked);
    EXPECT_EQ(pane0(), "No checked mailboxes.");
}

TEST_F(FolderTreeWidgetTest, SelectionShowsStatisticsAndFoldersSwitchTheirIcon) {
    tree->setCurrentItem(item("Inbox", kTreeMailbox));
    EXPECT_EQ(window->InformationText(), "Inbox\nUnread messages: 7");
    QTreeWidgetItem* projects = item("Projects", kTreeFolder);
    tree->setCurrentItem(projects);
    EXPECT_EQ(window->InformationText(), "Projects\nSubfolders: 1 \u2022 Mailboxes: 3");
    const qint64 open = projects->icon(0).cacheKey();
    tree->collapseItem(projects);
    EXPECT_NE(projects->icon(0).cacheKey(), open);
    EXPECT_EQ(tree->EntryOf(projects)->Image, kImageFolderClosed);
}
