#include <QCoreApplication>
#include <QDir>
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
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
