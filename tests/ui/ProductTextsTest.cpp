// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowFixture.h"
#include "ui/window/AboutBox.h"

#include <QLabel>
#include <QProcess>

using namespace parcelo;
using parcelo::test::WindowFixture;

namespace {

class ProductTextsTest : public WindowFixture {};

} // namespace

TEST_F(ProductTextsTest, TheAboutBoxNamesTheVersionAndTheLicence) {
    ui::AboutBox box;
    QStringList texts;
    for (const QLabel* label : box.findChildren<QLabel*>())
        texts << label->text();
    const QString shown = texts.join('\n');
    EXPECT_TRUE(shown.contains("Parcelo " PARCELO_VERSION)) << shown.toStdString();
    EXPECT_TRUE(shown.contains("GNU General Public License, version 3 or later"))
        << shown.toStdString();
}

TEST_F(ProductTextsTest, TheWindowsVersionNamesTheLicenceWithoutADisplay) {
    QProcess window;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    environment.remove("QT_QPA_PLATFORM");
    window.setProcessEnvironment(environment);
    window.start(PARCELO_WINDOW_PATH, {"--version"});
    ASSERT_TRUE(window.waitForFinished(20000));
    EXPECT_EQ(window.exitCode(), 0);
    const QString out = QString::fromUtf8(window.readAllStandardOutput());
    EXPECT_TRUE(out.startsWith("parcelo " PARCELO_VERSION "\n")) << out.toStdString();
    EXPECT_TRUE(out.contains("License GPL-3.0-or-later")) << out.toStdString();
}

TEST_F(ProductTextsTest, VisitHomePageOpensTheConfiguredAddress) {
    open().show();
    window->Menu().homePage->trigger();
    EXPECT_EQ(opened, QStringList{PARCELO_HOME_PAGE});
}
