// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SaveWholeFile.h"

#include "../export/ScopedFileSizeLimit.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace parcelo;

namespace {

class ScopedUmask {
public:
    explicit ScopedUmask(mode_t mask) : previous_(::umask(mask)) {}
    ~ScopedUmask() { ::umask(previous_); }

private:
    mode_t previous_;
};

mode_t ModeOf(const QString& path) {
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

QStringList Entries(const QString& dir) {
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                               QDir::NoDotAndDotDot);
}

} // namespace

// Settings, filter sets and index pages are replaced without surprising their owner: a file
// keeps its mode (a new one gets 0666 less the umask), and a link keeps pointing at the file it
// names, which is the one written, also when it does not exist yet.
TEST(SaveWholeFile, TheFileKeepsItsModeAndALinkStays) {
    const ScopedUmask umask(022);
    const struct {
        const char* name;
        mode_t existingMode; // 0: no file before
        const char* link;    // a link written through, naming "file"; null: none
        mode_t expectedMode;
    } cases[] = {
        {"a new file", 0, nullptr, 0644},
        {"a private file", 0600, nullptr, 0600},
        {"a file writable by all", 0666, nullptr, 0666},
        {"a file through a link", 0640, "link", 0640},
        {"a new file through a link", 0, "link", 0644},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString file = dir.filePath("file");
        if (c.existingMode != 0) {
            ASSERT_TRUE(test::writeFile(file, "old"));
            ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), c.existingMode), 0);
        }
        QString written = file;
        if (c.link) {
            written = dir.filePath(c.link);
            ASSERT_EQ(::symlink("file", QFile::encodeName(written).constData()), 0);
        }
        QString error;
        EXPECT_TRUE(SaveWholeFile(written, "new", &error)) << error.toStdString();
        EXPECT_EQ(test::readFile(file), "new");
        EXPECT_EQ(ModeOf(file), c.expectedMode);
        if (c.link) {
            EXPECT_TRUE(QFileInfo(written).isSymLink());
        }
        EXPECT_EQ(Entries(dir.path()),
                  c.link ? (QStringList{"file", "link"}) : (QStringList{"file"}));
    }
}

TEST(SaveWholeFile, AFailedWriteLeavesTheOldFileAndNothingElse) {
    QTemporaryDir dir;
    const QString file = dir.filePath("file");
    ASSERT_TRUE(test::writeFile(file, "old"));
    QString error;
    {
        const test::ScopedFileSizeLimit limit(4);
        EXPECT_FALSE(SaveWholeFile(file, "longer than four bytes", &error));
    }
    EXPECT_EQ(error, QString::fromLocal8Bit(std::strerror(EFBIG)));
    EXPECT_EQ(test::readFile(file), "old");
    EXPECT_EQ(Entries(dir.path()), QStringList{"file"});
    EXPECT_FALSE(SaveWholeFile(dir.filePath("no/such/folder/file"), "new", &error));
    EXPECT_EQ(error, QString::fromLocal8Bit(std::strerror(ENOENT)));
}
