// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestEnv.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <cstdlib>
#include <ctime>
#include <sys/wait.h>
#include <unistd.h>

namespace parcelo::test {

QString corpusDir() {
    QString dir = qEnvironmentVariable("PARCELO_CORPUS");
    if (dir.isEmpty())
        dir = QStringLiteral(PARCELO_CORPUS_DEFAULT);
    return QFileInfo(dir).isDir() ? QDir(dir).absolutePath() : QString();
}

QString examplesDir() {
    return QStringLiteral(PARCELO_SOURCE_DIR "/examples");
}

void setTimeZone(const char* tz) {
    if (tz)
        qputenv("TZ", tz);
    else
        qunsetenv("TZ");
    tzset();
}

ScopedTimeZone::ScopedTimeZone(const char* tz) : previous_(qgetenv("TZ")) {
    setTimeZone(tz);
}

ScopedTimeZone::~ScopedTimeZone() {
    setTimeZone(previous_.isEmpty() ? nullptr : previous_.constData());
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

bool copyTree(const QString& from, const QString& to) {
    QDir source(from);
    QDirIterator it(from, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString target = to + QLatin1Char('/') + source.relativeFilePath(path);
        if (it.fileInfo().isDir()) {
            if (!QDir().mkpath(target))
                return false;
        } else {
            QDir().mkpath(QFileInfo(target).absolutePath());
            if (!QFile::copy(path, target))
                return false;
            QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                              QFile::ReadOther);
        }
    }
    return true;
}

qint64 endedProcessId() {
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

} // namespace parcelo::test
