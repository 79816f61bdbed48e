// SPDX-License-Identifier: GPL-3.0-or-later
#include <QCoreApplication>
#ifdef PARCELO_WIDGET_TESTS
#include <QApplication>
#endif
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>
#include <ctime>
#include <gmock/gmock.h>

// Every test program runs with its own settings and data folders and a fixed time
// zone, so tests never touch the user's files and can run in parallel.
int main(int argc, char** argv) {
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", QDir(home.path()).filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", QDir(home.path()).filePath(QStringLiteral("data")).toLocal8Bit());
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("TZ", "UTC");
    tzset();
#ifdef PARCELO_WIDGET_TESTS
    // Widgets need no display: the offscreen platform unless the caller chose one.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("XDG_RUNTIME_DIR", QDir(home.path()).filePath(QStringLiteral("runtime")).toLocal8Bit());
    QDir(home.path()).mkpath(QStringLiteral("runtime"));
    QFile::setPermissions(QDir(home.path()).filePath(QStringLiteral("runtime")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QApplication app(argc, argv);
#else
    QCoreApplication app(argc, argv);
#endif
    ::testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
