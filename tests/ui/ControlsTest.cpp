// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/controls/CRichEditCtrlEx.h"
#include "ui/controls/CStatusBarACT.h"

#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

using namespace parcelo::ui;

TEST(ControlsTest, StatusTextWithALineFeedPutsTheRestIntoThePaneTip) {
    CStatusBarACT bar({{130, 218}, {131, 0}});
    bar.SetPaneTipText(131, "General Information");
    bar.SetPaneText(131, "Ready.");
    EXPECT_EQ(bar.PaneTipText(131), "General Information");
    bar.SetPaneText(131, "Exporting\nInbox of the local store");
    EXPECT_EQ(bar.PaneText(131), "Exporting");
    EXPECT_EQ(bar.PaneTipText(131), "Inbox of the local store");
    bar.SetPaneText(999, "nowhere"); // an unknown pane does nothing
    EXPECT_EQ(bar.PaneText(130), "");
}

TEST(ControlsTest, RichEditKeepsTheCaretWhenTabbedIntoAndWritesCrLf) {
    QWidget form;
    auto* layout = new QVBoxLayout(&form);
    auto* before = new QLineEdit(&form);
    auto* box = new CRichEditCtrlEx(&form);
    layout->addWidget(before);
    layout->addWidget(box);
    form.show();
    QApplication::setActiveWindow(&form);
    box->SetText("invoice");
    box->setCursorPosition(3);
    before->setFocus();
    QTest::keyClick(before, Qt::Key_Tab);
    EXPECT_TRUE(box->hasFocus());
    EXPECT_FALSE(box->hasSelectedText());
    EXPECT_EQ(box->cursorPosition(), 3);

    QTest::keyClick(box, Qt::Key_Menu); // swallowed
    EXPECT_EQ(box->text(), "invoice");

    box->setText(QString("one\ntwo"));
    ASSERT_EQ(box->text(), "one\ntwo");
    EXPECT_EQ(box->GetText(), "one\r\ntwo");
}
