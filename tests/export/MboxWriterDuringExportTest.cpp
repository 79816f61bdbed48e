// SPDX-License-Identifier: GPL-3.0-or-later
// A plain export of an mbox that a mail server rewrites in place meanwhile, as it does for a
// flag change: space taken from one message's padding moves every message after it.
#include "export/ExportSession.h"
#include "mime/MessageConversion.h"
#include "support/StoreTestSupport.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

using namespace parcelo;

namespace {

constexpr int kMessages = 60;

struct QuietObserver : IExportObserver {
    void SetProgress(int) override {}
    void SetStatusText(const QString&) override {}
};

// One message as the server stores it (LF line ends, a padded keyword field), no separator.
QByteArray StoredMessage(int number, const QByteArray& keywords, int padding) {
    QByteArray message =
        "From: Sender <s@example.com>\nSubject: Message " + QByteArray::number(number) +
        "\nDate: Mon, 05 Jan 2009 10:00:00 +0000\nMessage-ID: <" + QByteArray::number(number) +
        "@example.com>\nX-Keywords: " + keywords + QByteArray(padding, ' ') + "\n\n";
    for (int line = 0; line < 160; ++line)
        message += "message " + QByteArray::number(number) + " line " + QByteArray::number(line) +
                   " of its body, which is long enough\n";
    return message;
}

QByteArray Mailbox(const std::vector<QByteArray>& messages) {
    QByteArray mailbox;
    for (const QByteArray& message : messages)
        mailbox += "From MAILER-DAEMON Mon Jan  5 10:00:00 2009\n" + message + "\n";
    return mailbox;
}

std::vector<QByteArray> Messages(const QByteArray& firstKeywords, int firstPadding,
                                 int lastPadding) {
    std::vector<QByteArray> messages;
    for (int i = 0; i < kMessages; ++i)
        messages.push_back(StoredMessage(i, i == 0 ? firstKeywords : QByteArray(),
                                         i == 0               ? firstPadding
                                         : i == kMessages - 1 ? lastPadding
                                                              : 300));
    return messages;
}

// The mailbox after the first message was given a keyword, its padding taken and given to the
// last message: the same size, every message between moved.
QByteArray RewrittenMailbox(qint64 size) {
    QByteArray rewritten = Mailbox(Messages("$Forwarded", 0, 300));
    const qint64 more = size - rewritten.size();
    return Mailbox(Messages("$Forwarded", 0, int(300 + more)));
}

// Writes the bytes over the file in place; with takeLock, only under an fcntl write lock
// taken at once (a server would wait for it). False when the lock was not had.
bool RewriteInPlace(const QString& path, const QByteArray& bytes, bool takeLock) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC);
    EXPECT_GE(fd, 0);
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    if (takeLock && ::fcntl(fd, F_OFD_SETLK, &lock) != 0) {
        ::close(fd);
        return false;
    }
    EXPECT_EQ(::pwrite(fd, bytes.constData(), size_t(bytes.size()), 0), bytes.size());
    ::close(fd);
    return true;
}

// Called after each message source is parsed, that is after it was read from the store.
std::function<void()> gAfterParse;

std::unique_ptr<CMimeMessage> ParseThenHook(const std::string& source) {
    auto message = ParseMessageSource(source);
    if (gAfterParse)
        gAfterParse();
    return message;
}

QByteArray MessageIdOf(const QByteArray& file) {
    static const QRegularExpression id(QStringLiteral("(?m)^Message-ID: <(\\d+)@example.com>"));
    const auto match = id.match(QString::fromLatin1(file));
    return match.hasMatch() ? match.captured(1).toLatin1() : QByteArray();
}

} // namespace

TEST(MboxWriterDuringExport, ReadsEveryMessageOnceOrNamesTheFilesInDoubt) {
    struct Case {
        const char* label;
        bool writerLocks;
        bool deleting; // the export deletes what it exported
    } cases[] = {
        {"the writer locks", true, false},
        {"the writer takes no lock", false, false},
        {"the writer takes no lock, the export deletes", false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        QTemporaryDir tmp;
        const QString storeDir = tmp.filePath("store");
        const QString mailbox = storeDir + "/Inbox";
        ASSERT_TRUE(QDir().mkpath(storeDir) && QDir().mkpath(tmp.filePath("out")));
        const std::vector<QByteArray> original = Messages({}, 300, 300);
        const QByteArray before = Mailbox(original);
        ASSERT_TRUE(test::writeFile(mailbox, before));
        const QByteArray after = RewrittenMailbox(before.size());
        ASSERT_EQ(after.size(), before.size());
        // The mailbox was last written a while ago, as a mailbox at rest is.
        const struct timespec anHourAgo[2] = {{::time(nullptr) - 3600, 0},
                                              {::time(nullptr) - 3600, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(mailbox).constData(), anHourAgo, 0), 0);

        ExportSettings app;
        app.Paths = AppPaths::ForFolder(tmp.filePath("app"));
        QDir().mkpath(app.Paths.AppFolder);
        app.FolderPath = tmp.filePath("out") + "/";
        app.ActionDelete = c.deleting ? 1 : 0;
        auto store = test::OpenStore(storeDir);
        ASSERT_TRUE(store);
        FolderTreeModel tree;
        tree.PopulateFolderTree(*store);
        tree.CheckAll();
        QuietObserver observer;
        ExportSession session(app, *store, observer);
        session.SetMessageParser(&ParseThenHook);
        int parsed = 0;
        bool rewritten = false;
        gAfterParse = [&] {
            if (++parsed == 2)
                rewritten = RewriteInPlace(mailbox, after, c.writerLocks);
        };
        const ExportCommandResult result = session.OnExportMessages(tree);
        gAfterParse = {};
        if (!rewritten) {
            EXPECT_TRUE(RewriteInPlace(mailbox, after, true)) << "the read lock was kept";
        }

        std::map<QByteArray, int> copies;
        QStringList doubtful; // files that are not a whole copy of one message
        for (QDirIterator it(tmp.filePath("out"), QDir::Files, QDirIterator::Subdirectories);
             it.hasNext();) {
            const QString path = it.next();
            const QByteArray file = test::readFile(path);
            const QByteArray id = MessageIdOf(file);
            const bool whole = !id.isEmpty() && id.toInt() < kMessages &&
                               file.contains(test::ToCrlf(original[size_t(id.toInt())]));
            if (!whole || ++copies[id] > 1)
                doubtful.append(path);
        }
        const QString problems = result.Problems.join('\n');
        if (c.writerLocks) {
            EXPECT_TRUE(doubtful.isEmpty()) << doubtful.join('\n').toStdString();
            EXPECT_EQ(copies.size(), size_t(kMessages));
            EXPECT_EQ(result.Exported, kMessages);
            EXPECT_TRUE(result.Problems.isEmpty()) << problems.toStdString();
        } else {
            // Nothing is lost silently: the folder is named as changed while it was read, and
            // each file that is not its message's copy is named.
            EXPECT_TRUE(problems.contains("the mail folder 'store\\Inbox' changed while "
                                          "it was read"))
                << problems.toStdString();
            for (const QString& path : doubtful)
                EXPECT_TRUE(problems.contains("'" + path + "'")) << path.toStdString();
            // No message of a mailbox that changed under the read is deleted.
            if (c.deleting) {
                EXPECT_TRUE(test::readFile(mailbox) == after);
            }
        }
    }
}
