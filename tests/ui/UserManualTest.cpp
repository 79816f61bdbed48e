// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowFixture.h"
#include "ui/settings/CListBoxST.h"
#include "ui/settings/FormSettings.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <QUrl>

using namespace parcelo;
using parcelo::test::WindowFixture;

namespace {

const QString kSourceManual = QStringLiteral(PARCELO_SOURCE_DIR "/res/help/index.html");

// The id attributes of an HTML file, read with a pattern of its own rather than the code's.
QSet<QString> idsOf(const QString& file) {
    QFile page(file);
    if (!page.open(QIODevice::ReadOnly))
        return {};
    const QString text = QString::fromUtf8(page.readAll());
    QSet<QString> ids;
    static const QRegularExpression id(QStringLiteral("\\sid\\s*=\\s*[\"']([^\"']+)[\"']"));
    for (auto it = id.globalMatch(text); it.hasNext();)
        ids.insert(it.next().captured(1));
    return ids;
}

// The manual page an opened address leads to and the section it names, which must be there.
void expectSection(const QString& opened, const QString& section) {
    SCOPED_TRACE(opened.toStdString());
    EXPECT_EQ(opened, "file://" + kSourceManual + "#" + section);
    const QUrl url(opened);
    ASSERT_TRUE(url.isLocalFile());
    EXPECT_TRUE(idsOf(url.toLocalFile()).contains(url.fragment())) << "no such id in the manual";
}

class UserManualTest : public WindowFixture {
protected:
    std::unique_ptr<FormSettings> settingsDialog(int category) {
        auto dialog = std::make_unique<FormSettings>(app, category);
        dialog->SetShellOpener([this](const QString& path) {
            opened.append(path);
            return true;
        });
        dialog->show();
        dialog->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
        return dialog;
    }
};

} // namespace

TEST_F(UserManualTest, F1AndHelpTopicsOpenTheWindowsSection) {
    open().show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QTest::keyClick(window.get(), Qt::Key_F1);
    ASSERT_EQ(opened.size(), 1);
    expectSection(opened[0], "window");

    // Help, then Topics, with the keyboard and then with the mouse.
    QMenu* help = window->Menu().menus.last();
    QTest::keyClick(window.get(), Qt::Key_H, Qt::AltModifier);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(help));
    QTest::mouseClick(help, Qt::LeftButton, {},
                      help->actionGeometry(window->Menu().helpTopics).center());
    ASSERT_EQ(opened.size(), 2);
    expectSection(opened[1], "window");
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(UserManualTest, TheSettingsHelpOpensTheShownPagesSection) {
    const std::pair<int, QString> pages[] = {{FormSettings::FilesNamingConvention, "naming"},
                                             {FormSettings::ExportHeaders, "headers"},
                                             {FormSettings::ExportAttachments, "attachments"},
                                             {FormSettings::Misc, "misc"}};
    for (const auto& [category, section] : pages) {
        SCOPED_TRACE(section.toStdString());
        opened.clear();
        auto dialog = settingsDialog(category);
        QTest::mouseClick(dialog->HelpButton(), Qt::LeftButton);
        QTest::keyClick(dialog.get(), Qt::Key_F1);
        ASSERT_EQ(opened.size(), 2);
        expectSection(opened[0], section);
        expectSection(opened[1], section);
    }

    // The page chosen in the list is the one asked about.
    opened.clear();
    auto dialog = settingsDialog(FormSettings::Misc);
    QListWidget* list = dialog->CategoryList();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(FormSettings::ExportHeaders)).center());
    QTest::keyClick(dialog.get(), Qt::Key_F1);
    ASSERT_EQ(opened.size(), 1);
    expectSection(opened[0], "headers");
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(UserManualTest, AMissingManualIsNamedWhereItWasLookedFor) {
    const QString installed = work.filePath("share/doc/parcelo/manual/index.html");
    const QString other = work.filePath("elsewhere/index.html");
    app.Paths.HelpFiles = {other, installed};
    open().show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QTest::keyClick(window.get(), Qt::Key_F1);
    settingsDialog(FormSettings::Misc)->HelpButton()->click();
    EXPECT_TRUE(opened.isEmpty());
    ASSERT_EQ(messages.size(), 2);
    for (const QString& message : messages) {
        EXPECT_TRUE(message.contains("could not be found")) << message.toStdString();
        EXPECT_TRUE(message.contains(installed) && message.contains(other))
            << message.toStdString();
    }

    // A manual that is there, but nothing can show it.
    messages.clear();
    app.Paths.HelpFiles = {other, kSourceManual};
    window->SetShellOpener([](const QString&) { return false; });
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QTest::keyClick(window.get(), Qt::Key_F1);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(kSourceManual) && messages[0].contains("could not be shown"))
        << messages[0].toStdString();
}
