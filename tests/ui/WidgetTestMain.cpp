#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstdlib>
#include <ctime>
#include <gmock/gmock.h>

// The widget tests need a QApplication; otherwise the same isolation as every test program:
// own settings and data folders, a fixed time zone, no display unless one is asked for.
int main(int argc, char** argv) {
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", QDir(home.path()).filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", QDir(home.path()).filePath(QStringLiteral("data")).toLocal8Bit());
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("TZ", "UTC");
    tzset();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
