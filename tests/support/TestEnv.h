// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace parcelo::test {

// Path of the outside corpus of real mail, or empty when it is not there.
QString corpusDir();

// Skips the current test when the corpus is missing, except under CI=true where that fails.
#define PARCELO_REQUIRE_CORPUS()                                                                   \
    do {                                                                                           \
        if (::parcelo::test::corpusDir().isEmpty()) {                                              \
            if (qgetenv("CI") == "true")                                                           \
                FAIL() << "corpus missing (set PARCELO_CORPUS)";                                   \
            GTEST_SKIP() << "corpus missing (set PARCELO_CORPUS)";                                 \
        }                                                                                          \
    } while (0)

// Folder of the project's own sample store.
QString examplesDir();

// Sets TZ for this process and makes the C library and Qt pick it up.
void setTimeZone(const char* tz);

// Restores the time zone on destruction.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* tz);
    ~ScopedTimeZone();

private:
    QByteArray previous_;
};

QByteArray readFile(const QString& path);
bool writeFile(const QString& path, const QByteArray& bytes);

// Copies a directory tree (files and folders) into an existing destination folder.
bool copyTree(const QString& from, const QString& to);

// The id of a process that has ended, for leftovers and locks of a dead owner.
qint64 endedProcessId();

} // namespace parcelo::test

#include <ostream>

// Readable QString values in test failure messages.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
