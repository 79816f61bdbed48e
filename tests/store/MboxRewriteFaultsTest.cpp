// SPDX-License-Identifier: GPL-3.0-or-later
// Rewrites of an mbox that meet other programs: appends during the copy, locks, links and
// the leftovers of a process killed in the middle of a rewrite.
#include "../export/ScopedFileSizeLimit.h"
#include "store/mbox/MboxFolder.h"
#include "store/mbox/MboxRewriter.h"
#include "support/StoreTestSupport.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace parcelo;
using namespace parcelo::test;

namespace {

const QByteArray kTwoMessages = "From a Mon Jan  1 00:00:00 2001\nSubject: one\n\nx\n\n"
                                "From b Mon Jan  1 00:00:00 2001\nSubject: two\n\ny\n";
const QByteArray kFirstGone = "From b Mon Jan  1 00:00:00 2001\nSubject: two\n\ny\n";

MESSAGEIDLIST Ids(std::initializer_list<StoreMessageId> ids) {
    MESSAGEIDLIST list;
    list.ids = ids;
    return list;
}

class ScopedRewriteHook {
public:
    explicit ScopedRewriteHook(std::function<void(MboxRewriteStage)> hook) {
        SetMboxRewriteHook(std::move(hook));
    }
    ~ScopedRewriteHook() { SetMboxRewriteHook({}); }
};

// Appends as a delivery program that takes no lock does: open, write, close.
void Append(const QString& path, const QByteArray& bytes) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, bytes.constData(), size_t(bytes.size())), bytes.size());
    ::close(fd);
}

// Deletes the first message and closes the folder; returns the folder's error text.
QString DeleteFirst(const QString& path, HRESULT* result) {
    MboxFolder folder(path);
    QString error;
    EXPECT_TRUE(folder.open(&error)) << error.toStdString();
    EXPECT_EQ(folder.DeleteMessages(Ids({0})), S_OK);
    *result = folder.Close();
    return folder.LastError();
}

QStringList Leftovers(const QString& dir) {
    return QDir(dir).entryList(QStringList{QStringLiteral(".*parcelo*"), QStringLiteral("*.lock")},
                               QDir::Files | QDir::Hidden);
}

} // namespace

TEST(MboxRewriteFaults, MailAppendedDuringTheRewriteIsKept) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Inbox"));
    ASSERT_TRUE(writeFile(path, kTwoMessages));
    const QByteArray early = "\nFrom c Mon Jan  1 00:00:00 2001\nSubject: early\n\nz\n";
    const QByteArray late = "\nFrom d Mon Jan  1 00:00:00 2001\nSubject: late\n\nw\n";
    int lateFd = -1;
    bool lockedWhileCopying = false;
    ScopedRewriteHook hook([&](MboxRewriteStage stage) {
        if (stage == MboxRewriteStage::Copied) {
            // Another program sees the fcntl lock ...
            const int probe = ::open(QFile::encodeName(path).constData(), O_RDONLY);
            struct flock lock = {};
            lock.l_type = F_RDLCK;
            lock.l_whence = SEEK_SET;
            lockedWhileCopying = ::fcntl(probe, F_OFD_GETLK, &lock) == 0 && lock.l_type == F_WRLCK;
            ::close(probe);
            // ... but one that ignores it appends anyway, and another opens the file now and
            // writes only after the new file has taken its name.
            Append(path, early);
            lateFd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND);
        } else if (stage == MboxRewriteStage::Renamed) {
            ASSERT_EQ(::write(lateFd, late.constData(), size_t(late.size())), late.size());
            ::close(lateFd);
        }
    });
    HRESULT result = E_FAIL;
    const QString error = DeleteFirst(path, &result);
    EXPECT_EQ(result, S_OK) << error.toStdString();
    EXPECT_TRUE(lockedWhileCopying);
    EXPECT_EQ(readFile(path), kFirstGone + early + late);
    EXPECT_TRUE(Leftovers(dir.path()).isEmpty());

    auto store = OpenStore(dir.path());
    auto folder = OpenFolderByPath(*store, QStringLiteral("Inbox"));
    ASSERT_TRUE(folder);
    const auto messages = EnumerateMessages(*folder);
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[1].pszNormalSubject, "early");
    EXPECT_EQ(messages[2].pszNormalSubject, "late");
}

TEST(MboxRewriteFaults, MailAppendedWhileEveryMessageIsRemovedStartsTheFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Inbox"));
    ASSERT_TRUE(writeFile(path, kTwoMessages));
    const QByteArray appended = "From c Mon Jan  1 00:00:00 2001\nSubject: new\n\nz\n";
    ScopedRewriteHook hook([&](MboxRewriteStage stage) {
        if (stage == MboxRewriteStage::Copied)
            Append(path, "\n\r\n" + appended);
    });
    MboxFolder folder(path);
    QString error;
    ASSERT_TRUE(folder.open(&error));
    EXPECT_EQ(folder.DeleteMessages(Ids({0, 1})), S_OK);
    EXPECT_EQ(folder.Close(), S_OK) << folder.LastError().toStdString();
    EXPECT_EQ(readFile(path), appended);
}

// A file-size limit makes writes fail as a full disk does (EFBIG, "File too large"): whether
// the copy fails at once or only on the mail appended while it ran, the mailbox stays as it
// was and the error says why, in the system's words.
TEST(MboxRewriteFaults, AFailedWriteKeepsTheMailboxAndNamesTheReason) {
    const QByteArray big =
        "From c Mon Jan  1 00:00:00 2001\nSubject: big\n\n" + QByteArray(8000, 'x') + "\n";
    struct Case {
        const char* name;
        QByteArray stored;
        QByteArray appendedWhileCopying;
    };
    const Case cases[] = {
        {"the copy", kTwoMessages + "\n" + big, {}},
        {"the catching up", kTwoMessages, "\n" + big},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Inbox"));
        ASSERT_TRUE(writeFile(path, c.stored));
        ScopedRewriteHook hook([&](MboxRewriteStage stage) {
            if (stage == MboxRewriteStage::Copied && !c.appendedWhileCopying.isEmpty()) {
                // The other program is under no limit.
                const ScopedFileSizeLimit none(RLIM_INFINITY);
                Append(path, c.appendedWhileCopying);
            }
        });
        HRESULT result = S_OK;
        QString error;
        {
            const ScopedFileSizeLimit limit(4096);
            error = DeleteFirst(path, &result);
        }
        EXPECT_NE(result, S_OK);
        EXPECT_TRUE(error.contains(path)) << error.toStdString();
        EXPECT_TRUE(error.endsWith(QString::fromLocal8Bit(std::strerror(EFBIG))))
            << error.toStdString();
        EXPECT_EQ(readFile(path), c.stored + c.appendedWhileCopying);
        EXPECT_TRUE(Leftovers(dir.path()).isEmpty());
    }
}

TEST(MboxRewriteFaults, AFileChangedDuringTheRewriteIsKeptAsItIs) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Inbox"));
    ASSERT_TRUE(writeFile(path, kTwoMessages));
    QByteArray edited = kTwoMessages;
    edited.replace("Subject: two", "Subject: TWO");
    ScopedRewriteHook hook([&](MboxRewriteStage stage) {
        if (stage != MboxRewriteStage::Copied)
            return;
        const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY);
        ::pwrite(fd, edited.constData(), size_t(edited.size()), 0);
        const struct timespec times[2] = {{0, UTIME_OMIT}, {12345, 0}};
        ::futimens(fd, times);
        ::close(fd);
    });
    HRESULT result = S_OK;
    const QString error = DeleteFirst(path, &result);
    EXPECT_LT(result, 0);
    EXPECT_TRUE(error.contains(QLatin1String("changed"))) << error.toStdString();
    EXPECT_EQ(readFile(path), edited);
    EXPECT_TRUE(Leftovers(dir.path()).isEmpty());
}

// Another program that does not lock puts a new file under the mailbox's name while the copy
// runs: the rename would destroy it, so the change is given up and the new file stays.
TEST(MboxRewriteFaults, AMailboxReplacedDuringTheRewriteIsKeptAsItIs) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Inbox"));
    ASSERT_TRUE(writeFile(path, kTwoMessages));
    const QByteArray replacement = "From c Mon Jan  1 00:00:00 2001\nSubject: other\n\nz\n";
    ScopedRewriteHook hook([&](MboxRewriteStage stage) {
        if (stage != MboxRewriteStage::Copied)
            return;
        const QString other = dir.filePath(QStringLiteral("other"));
        ASSERT_TRUE(writeFile(other, replacement));
        ASSERT_EQ(
            ::rename(QFile::encodeName(other).constData(), QFile::encodeName(path).constData()), 0);
    });
    HRESULT result = S_OK;
    const QString error = DeleteFirst(path, &result);
    EXPECT_LT(result, 0);
    EXPECT_TRUE(error.contains(path)) << error.toStdString();
    EXPECT_EQ(readFile(path), replacement);
    EXPECT_TRUE(Leftovers(dir.path()).isEmpty());
}

TEST(MboxRewriteFaults, AnFcntlLockOfAnotherProgramBlocksTheChange) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Inbox"));
    ASSERT_TRUE(writeFile(path, kTwoMessages));
    const int holder = ::open(QFile::encodeName(path).constData(), O_RDWR);
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    ASSERT_EQ(::fcntl(holder, F_OFD_SETLK, &lock), 0);
    HRESULT result = S_OK;
    const QString error = DeleteFirst(path, &result);
    ::close(holder);
    EXPECT_LT(result, 0);
    EXPECT_TRUE(error.contains(QLatin1String("fcntl lock on ") + path)) << error.toStdString();
    EXPECT_EQ(readFile(path), kTwoMessages);
    EXPECT_TRUE(Leftovers(dir.path()).isEmpty());
}

TEST(MboxRewriteFaults, ALinkedMailboxIsRewrittenWhereItLivesAndTheLinkStays) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("store"))));
    const QString real = dir.filePath(QStringLiteral("elsewhere/Real"));
    const QString link = dir.filePath(QStringLiteral("store/Inbox"));
    ASSERT_TRUE(writeFile(real, kTwoMessages));
    ASSERT_TRUE(writeFile(link + QStringLiteral(".msf"), "index"));
    ASSERT_EQ(::symlink("../elsewhere/Real", QFile::encodeName(link).constData()), 0);

    HRESULT result = E_FAIL;
    const QString error = DeleteFirst(link, &result);
    EXPECT_EQ(result, S_OK) << error.toStdString();
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), QFileInfo(real).absoluteFilePath());
    EXPECT_EQ(readFile(real), kFirstGone);
    EXPECT_FALSE(QFile::exists(link + QStringLiteral(".msf")));
    EXPECT_TRUE(Leftovers(dir.filePath(QStringLiteral("store"))).isEmpty());
    EXPECT_TRUE(Leftovers(dir.filePath(QStringLiteral("elsewhere"))).isEmpty());
}

TEST(MboxRewriteFaults, TheLeftoversOfAKilledRewriteAreCleared) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Inbox"));
    ASSERT_TRUE(writeFile(path, kTwoMessages));
    const QString dead = QString::number(test::endedProcessId());
    const QString alive = QString::number(::getppid());
    // A fresh lock and a temporary file of a killed process go at once; a temporary file of
    // a live process, and one of another mailbox, stay.
    ASSERT_TRUE(writeFile(path + QStringLiteral(".lock"), dead.toLatin1() + '\n'));
    const QString orphan = dir.filePath(QStringLiteral(".Inbox.parcelo-%1-0").arg(dead));
    const QString live = dir.filePath(QStringLiteral(".Inbox.parcelo-%1-0").arg(alive));
    const QString other = dir.filePath(QStringLiteral(".Other.parcelo-%1-0").arg(dead));
    for (const QString& file : {orphan, live, other})
        ASSERT_TRUE(writeFile(file, "part of a copy"));

    HRESULT result = E_FAIL;
    const QString error = DeleteFirst(path, &result);
    EXPECT_EQ(result, S_OK) << error.toStdString();
    EXPECT_EQ(readFile(path), kFirstGone);
    EXPECT_FALSE(QFile::exists(path + QStringLiteral(".lock")));
    EXPECT_FALSE(QFile::exists(orphan));
    EXPECT_TRUE(QFile::exists(live));
    EXPECT_TRUE(QFile::exists(other));
}

// The folder is looked at for leftovers once; each mailbox's leftovers still go with its first
// change, the second mailbox's too, and a live process's stay.
TEST(MboxRewriteFaults, LeftoversOfEveryChangedMailboxGoOnceTheFolderWasLookedAt) {
    QTemporaryDir dir;
    const QString dead = QString::number(test::endedProcessId());
    const QString alive = QString::number(::getppid());
    QStringList orphans;
    QStringList live;
    for (const QString& name : {QStringLiteral("Inbox"), QStringLiteral("Sent")}) {
        ASSERT_TRUE(writeFile(dir.filePath(name), kTwoMessages));
        orphans << dir.filePath(QStringLiteral(".%1.parcelo-%2-0").arg(name, dead))
                << dir.filePath(QStringLiteral(".%1.parcelo-%2-1").arg(name, dead));
        live << dir.filePath(QStringLiteral(".%1.parcelo-%2-0").arg(name, alive));
    }
    for (const QString& file : orphans + live)
        ASSERT_TRUE(writeFile(file, "part of a copy"));

    for (const QString& name :
         {QStringLiteral("Inbox"), QStringLiteral("Sent"), QStringLiteral("Inbox")}) {
        HRESULT result = E_FAIL;
        const QString error = DeleteFirst(dir.filePath(name), &result);
        EXPECT_EQ(result, S_OK) << error.toStdString();
    }
    for (const QString& file : orphans)
        EXPECT_FALSE(QFile::exists(file)) << file.toStdString();
    for (const QString& file : live)
        EXPECT_TRUE(QFile::exists(file)) << file.toStdString();
    EXPECT_EQ(readFile(dir.filePath("Sent")), kFirstGone);
}

TEST(MboxRewriteFaults, ALiveOrForeignLockBlocksTheChangeAndIsNamed) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Inbox"));
    const QString lockPath = path + QStringLiteral(".lock");
    const qint64 parent = ::getppid();
    const struct {
        QByteArray content;
        QString expected;
    } cases[] = {
        {QByteArray::number(parent) + '\n',
         QStringLiteral("the mailbox is locked by process %1 (%2)").arg(parent).arg(lockPath)},
        // A process id of another host says nothing about this one.
        {QByteArray::number(test::endedProcessId()) + " some-other-host.example\n",
         QStringLiteral("the mailbox is locked by another program (%1)").arg(lockPath)},
        {"", QStringLiteral("the mailbox is locked by another program (%1)").arg(lockPath)},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(writeFile(path, kTwoMessages));
        ASSERT_TRUE(writeFile(lockPath, c.content));
        HRESULT result = S_OK;
        const QString error = DeleteFirst(path, &result);
        EXPECT_LT(result, 0) << c.content.toStdString();
        EXPECT_EQ(error, c.expected);
        EXPECT_EQ(readFile(path), kTwoMessages);
        EXPECT_EQ(readFile(lockPath), c.content);
    }
}

// Age alone never breaks the lock of a live process of this host: its change may simply be
// long. A lock that names no process here (empty, another host's) is broken by age only.
TEST(MboxRewriteFaults, AnOldLockIsTakenOverOnlyWhenItNamesNoLiveProcessHere) {
    char host[256] = {};
    ASSERT_EQ(::gethostname(host, sizeof host - 1), 0);
    const QByteArray parent = QByteArray::number(qint64(::getppid()));
    const QByteArray dead = QByteArray::number(test::endedProcessId());
    const struct {
        QByteArray content;
        int ageSeconds;
        bool takenOver;
    } cases[] = {
        {parent + '\n', 3600, false},
        {parent + ' ' + host + '\n', 3600, false},
        {dead + '\n', 0, true},
        {dead + ' ' + host + '\n', 0, true},
        {parent + " some-other-host.example\n", 0, false},
        {parent + " some-other-host.example\n", 3600, true},
        {dead + " some-other-host.example\n", 0, false},
        {"", 0, false},
        {"", 3600, true},
        {"not a process\n", 3600, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.content.toStdString() + " aged " + std::to_string(c.ageSeconds) + " s");
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Inbox"));
        const QByteArray lockPath = QFile::encodeName(path + QStringLiteral(".lock"));
        ASSERT_TRUE(writeFile(path, kTwoMessages));
        ASSERT_TRUE(writeFile(QFile::decodeName(lockPath), c.content));
        const struct timespec aged[2] = {{0, UTIME_OMIT}, {::time(nullptr) - c.ageSeconds, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, lockPath.constData(), aged, 0), 0);
        HRESULT result = E_FAIL;
        const QString error = DeleteFirst(path, &result);
        if (c.takenOver) {
            EXPECT_EQ(result, S_OK) << error.toStdString();
            EXPECT_EQ(readFile(path), kFirstGone);
            EXPECT_FALSE(QFile::exists(QFile::decodeName(lockPath)));
        } else {
            EXPECT_LT(result, 0);
            EXPECT_TRUE(error.contains(QStringLiteral("locked"))) << error.toStdString();
            EXPECT_EQ(readFile(path), kTwoMessages);
            EXPECT_EQ(readFile(QFile::decodeName(lockPath)), c.content);
        }
    }
}

// A rewrite that takes long keeps its lock fresh, so that programs that judge a lock by its
// age alone do not break it; a lock taken over by another program all the same stops the
// change before the rename, and that program's lock stays.
TEST(MboxRewriteFaults, TheLockIsKeptFreshAndALostLockStopsTheChange) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Inbox"));
    const QByteArray lockPath = QFile::encodeName(path + QStringLiteral(".lock"));
    // More than one buffer of the copy.
    QByteArray stored = kTwoMessages;
    for (int i = 0; i < 40; ++i)
        stored +=
            "\nFrom c Mon Jan  1 00:00:00 2001\nSubject: long\n\n" + QByteArray(8000, 'x') + "\n";
    const auto lockAge = [&] {
        struct stat st;
        return ::stat(lockPath.constData(), &st) == 0 ? ::time(nullptr) - st.st_mtime : -1;
    };
    const auto backdate = [&] {
        const struct timespec old[2] = {{0, UTIME_OMIT}, {::time(nullptr) - 3600, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, lockPath.constData(), old, 0), 0);
    };

    ASSERT_TRUE(writeFile(path, stored));
    qint64 ageWhenCopied = -1;
    {
        ScopedRewriteHook hook([&](MboxRewriteStage stage) {
            if (stage == MboxRewriteStage::Locked)
                backdate(); // as if the copy had taken an hour so far
            else if (stage == MboxRewriteStage::Copied)
                ageWhenCopied = lockAge();
        });
        HRESULT result = E_FAIL;
        const QString error = DeleteFirst(path, &result);
        EXPECT_EQ(result, S_OK) << error.toStdString();
    }
    EXPECT_GE(ageWhenCopied, 0);
    EXPECT_LT(ageWhenCopied, 300);
    EXPECT_EQ(readFile(path), stored.mid(kTwoMessages.indexOf("From b")));

    ASSERT_TRUE(writeFile(path, stored));
    const QByteArray otherLock = "4242 some-other-host.example\n";
    {
        ScopedRewriteHook hook([&](MboxRewriteStage stage) {
            if (stage != MboxRewriteStage::Copied)
                return;
            // Another program broke the lock and took it.
            ::unlink(lockPath.constData());
            ASSERT_TRUE(writeFile(QFile::decodeName(lockPath), otherLock));
        });
        HRESULT result = S_OK;
        const QString error = DeleteFirst(path, &result);
        EXPECT_LT(result, 0);
        EXPECT_TRUE(error.contains(QFile::decodeName(lockPath))) << error.toStdString();
    }
    EXPECT_EQ(readFile(path), stored);
    EXPECT_EQ(readFile(QFile::decodeName(lockPath)), otherLock);
    EXPECT_EQ(Leftovers(dir.path()), QStringList{QStringLiteral("Inbox.lock")});
}

// The rewritten mailbox keeps its mode, also bits the umask would take away, and its copy is
// never readable by more users than the mailbox itself.
TEST(MboxRewriteFaults, TheMailboxKeepsItsModeAndItsCopyIsNoMoreReadable) {
    const mode_t previousMask = ::umask(022);
    const std::shared_ptr<void> restore(nullptr, [&](void*) { ::umask(previousMask); });
    for (const mode_t mode : {mode_t(0600), mode_t(0660)}) {
        SCOPED_TRACE(mode);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Inbox"));
        ASSERT_TRUE(writeFile(path, kTwoMessages));
        ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0);
        const auto modeOf = [](const QString& file) {
            struct stat st;
            return ::stat(QFile::encodeName(file).constData(), &st) == 0 ? st.st_mode & 07777
                                                                         : mode_t(0);
        };
        mode_t copyMode = 0;
        ScopedRewriteHook hook([&](MboxRewriteStage stage) {
            const QStringList copies =
                QDir(dir.path())
                    .entryList({QStringLiteral(".Inbox.parcelo-*")}, QDir::Files | QDir::Hidden);
            if (stage == MboxRewriteStage::Locked && copies.size() == 1)
                copyMode = modeOf(dir.filePath(copies[0]));
        });
        HRESULT result = E_FAIL;
        const QString error = DeleteFirst(path, &result);
        EXPECT_EQ(result, S_OK) << error.toStdString();
        EXPECT_EQ(readFile(path), kFirstGone);
        EXPECT_EQ(copyMode, mode);
        EXPECT_EQ(modeOf(path), mode);
    }
}
