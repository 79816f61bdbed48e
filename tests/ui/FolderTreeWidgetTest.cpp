// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/tree/FolderTreeWidget.h"

#include "WindowFixture.h"
#include "ui/controls/CStatusBarACT.h"

#include <QApplication>
#include <QFile>
#include <QHelpEvent>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTest>
#include <QToolTip>

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

    // A click on the item's check box, where the view's own delegate looks for it, once the
    // item is current and scrolled to, as the keys would make it.
    void clickCheckBox(QTreeWidgetItem* target) {
        tree->setCurrentItem(target);
        tree->scrollTo(tree->currentIndex());
        QStyleOptionViewItem option;
        option.initFrom(tree);
        option.rect = tree->visualItemRect(target);
        option.features = QStyleOptionViewItem::HasCheckIndicator |
                          QStyleOptionViewItem::HasDisplay | QStyleOptionViewItem::HasDecoration;
        option.decorationSize = tree->iconSize();
        const QRect box =
            tree->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, tree);
        EXPECT_TRUE(tree->viewport()->rect().contains(box)) << target->text(0).toStdString();
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, box.center());
    }

    // An mbox store `levels` folders deep below the root "deep", each folder holding one
    // mailbox of its name and the next folder; returns the tree paths of the mailboxes.
    QStringList makeDeepStore(int levels) {
        QStringList paths;
        QString dir = work.filePath("deep");
        QString path = "deep";
        for (int level = 1; level <= levels; ++level) {
            const QString name = QString("Level %1 of a long chain of folders").arg(level);
            EXPECT_TRUE(QDir().mkpath(dir));
            QFile mailbox(dir + "/" + name);
            EXPECT_TRUE(mailbox.open(QIODevice::WriteOnly));
            mailbox.write("From a@example.org Mon Jan  1 00:00:00 2024\nSubject: x\n\nbody\n");
            dir += "/" + name + ".sbd";
            path += "\\" + name;
            paths << path;
        }
        return paths;
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

TEST_F(FolderTreeWidgetTest, TheDeepestOfThirtyLevelsIsReachedSidewaysAndChecksWithAClick) {
    const QStringList paths = makeDeepStore(30);
    ASSERT_TRUE(window->OpenStore(work.filePath("deep")));
    tree->expandAll();
    QTreeWidgetItem* deepest = tree->ItemOf(paths.back(), kTreeMailbox);
    ASSERT_NE(deepest, nullptr);
    clickCheckBox(deepest);
    QCoreApplication::processEvents();
    EXPECT_TRUE(tree->horizontalScrollBar()->isVisible());
    EXPECT_GT(tree->horizontalScrollBar()->value(), 0);
    EXPECT_EQ(deepest->checkState(0), Qt::Checked);
    EXPECT_EQ(pane0(), "One mailbox checked.");
}

TEST_F(FolderTreeWidgetTest, AnEntryCutOffAtThePanesEdgeShowsItsTreePathOnHover) {
    const QStringList paths = makeDeepStore(6);
    ASSERT_TRUE(window->OpenStore(work.filePath("deep")));
    tree->expandAll();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    auto labelEnd = [this](QTreeWidgetItem* item) {
        const QRect rect = tree->visualItemRect(item);
        return QPoint(std::min(rect.right(), tree->viewport()->width()) - 4, rect.center().y());
    };

    // The root's short name is shown whole: it gets no tip.
    QTreeWidgetItem* root = tree->topLevelItem(0);
    QHelpEvent onRoot(QEvent::ToolTip, labelEnd(root),
                      tree->viewport()->mapToGlobal(labelEnd(root)));
    QApplication::sendEvent(tree->viewport(), &onRoot);
    EXPECT_FALSE(QToolTip::isVisible());

    QTreeWidgetItem* cutOff = tree->ItemOf(paths[4], kTreeMailbox);
    ASSERT_NE(cutOff, nullptr);
    const QRect label = tree->visualItemRect(cutOff);
    ASSERT_GT(label.left() + tree->fontMetrics().horizontalAdvance(cutOff->text(0)),
              tree->viewport()->width());
    QTest::mouseMove(tree->viewport(), labelEnd(cutOff));
    EXPECT_TRUE(QTest::qWaitFor([] { return QToolTip::isVisible(); }));
    // A path wider than half the screen goes on several lines, each ending at a backslash.
    const QStringList lines = QToolTip::text().split('\n');
    EXPECT_GT(lines.size(), 1);
    for (const QString& line : lines)
        EXPECT_LE(QFontMetrics(QToolTip::font()).horizontalAdvance(line),
                  tree->screen()->availableGeometry().width())
            << line.toStdString();
    EXPECT_EQ(lines.join(""),
              "deep\\Level 1 of a long chain of folders\\Level 2 of a long chain of folders\\"
              "Level 3 of a long chain of folders\\Level 4 of a long chain of folders\\"
              "Level 5 of a long chain of folders");
}
