// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/instance/SingleInstance.h"

#include "WindowFixture.h"

#include <QProcess>
#include <QTest>

using namespace parcelo;
using namespace parcelo::ui;
using parcelo::test::WindowFixture;

namespace {

class SingleInstanceTest : public WindowFixture {};

} // namespace

TEST_F(SingleInstanceTest, ASecondCopyRaisesTheFirstAndLeavesTheFilesAlone) {
    const QString runtime = work.filePath("runtime");
    ASSERT_TRUE(QDir().mkpath(runtime));
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    SingleInstance first(runtime);
    ASSERT_TRUE(first.TryAcquire());
    open().showMinimized();
    QObject::connect(&first, &SingleInstance::ActivateRequested, window.get(),
                     &FormParcelo::BringToFront);

    QProcess second;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_RUNTIME_DIR", runtime);
    environment.insert("XDG_CONFIG_HOME", work.filePath("config2"));
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    second.setProcessEnvironment(environment);
    second.start(PARCELO_WINDOW_PATH, {"--app-folder", work.filePath("app2"), "--store", store()});
    ASSERT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();

    EXPECT_TRUE(QTest::qWaitFor([&] { return !window->isMinimized(); }, 5000));
    EXPECT_FALSE(QDir(work.filePath("app2")).exists());
    EXPECT_FALSE(QDir(work.filePath("config2")).exists());
}

TEST_F(SingleInstanceTest, TheLockIsFreeAgainWhenTheFirstCopyEnds) {
    const QString runtime = work.filePath("runtime");
    ASSERT_TRUE(QDir().mkpath(runtime));
    {
        SingleInstance first(runtime);
        ASSERT_TRUE(first.TryAcquire());
        SingleInstance second(runtime);
        EXPECT_FALSE(second.TryAcquire());
    }
    SingleInstance again(runtime);
    EXPECT_TRUE(again.TryAcquire());
}
