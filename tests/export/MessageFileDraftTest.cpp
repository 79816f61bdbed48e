// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/output/MessageFileDraft.h"

#include "export/output/MessageFileOutput.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <sys/stat.h>

using namespace parcelo;

namespace {

// Puts the system's own abilities back however the test ends.
struct PretendLacking {
    explicit PretendLacking(MessageFileDraft::Lacking lacking) {
        MessageFileDraft::pretendLacking(lacking);
    }
    ~PretendLacking() { MessageFileDraft::pretendLacking({}); }
};

mode_t ModeOf(const QString& path) {
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

QByteArray bytesOf(const QByteArray& body) {
    return "Subject: Hello\r\n\r\n" + body + "\r\n\r\n\r\n";
}

} // namespace

// However the file system lets a file be written before it has its name, the files come out
// complete, under the names their turn gives them, with nothing hidden left behind, and each is
// recognised as the one written when the source actions ask.
TEST(MessageFileDraft, EveryWayOfWritingGivesCompleteFilesUnderTheirNames) {
    struct Case {
        const char* label;
        MessageFileDraft::Lacking lacking;
    };
    const Case cases[] = {
        {"nameless files, linked through their descriptor", {}},
        {"no nameless files: hidden temporary files", {true, false}},
        {"nameless files named through /proc", {false, true}},
    };
    constexpr mode_t kUmask = 027;
    const mode_t previousMask = ::umask(kUmask);
    const std::shared_ptr<void> restore(nullptr, [&](void*) { ::umask(previousMask); });
    for (const Case& c : cases) {
        QTemporaryDir dir;
        const PretendLacking lacking(c.lacking);
        DestinationRequest request;
        request.folderOption = 0;
        request.fileOption = 2;
        request.extension = QStringLiteral("eml");
        request.root = dir.path() + u'/';
        request.subject = QStringLiteral("Hello");
        const MessageDestination destination = DestinationOfMessage(request);
        ASSERT_TRUE(test::writeFile(dir.filePath(QStringLiteral("Hello.eml")), "before"));

        MessageFileOutput output(0, {});
        const QByteArray first = bytesOf("first");
        const QByteArray ahead = bytesOf("written ahead");
        const QByteArray big = bytesOf(QByteArray(3 << 20, 'b'));
        const MessageFileResult one = output.write(destination, {}, first, {1, 1});
        // Bytes are written ahead only where the file system has nameless files.
        MessageFileDraft draft = output.prepare(destination, ahead);
        EXPECT_EQ(draft.written(), !c.lacking.namelessFiles) << c.label;
        const MessageFileResult two = output.write(destination, {}, ahead, {1, 2}, &draft);
        const MessageFileResult three = output.write(destination, {}, big, {1, 3});
        ASSERT_TRUE(one.written() && two.written() && three.written())
            << c.label << one.error.toStdString() << two.error.toStdString()
            << three.error.toStdString();
        EXPECT_EQ(one.path, dir.filePath(QStringLiteral("Hello_1.eml"))) << c.label;
        EXPECT_EQ(two.path, dir.filePath(QStringLiteral("Hello_2.eml"))) << c.label;
        EXPECT_EQ(three.path, dir.filePath(QStringLiteral("Hello_3.eml"))) << c.label;
        EXPECT_EQ(test::readFile(one.path), first) << c.label;
        EXPECT_EQ(test::readFile(two.path), ahead) << c.label;
        EXPECT_EQ(test::readFile(three.path), big) << c.label;
        EXPECT_EQ(test::readFile(dir.filePath(QStringLiteral("Hello.eml"))), "before") << c.label;
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System),
                  (QStringList{"Hello.eml", "Hello_1.eml", "Hello_2.eml", "Hello_3.eml"}))
            << c.label;
        // A new file's mode is 0666 less the umask, as any program's.
        for (const MessageFileResult* result : {&one, &two, &three})
            EXPECT_EQ(ModeOf(result->path), 0666 & ~kUmask) << c.label;
        EXPECT_TRUE(output.confirmFolderFiles(1).empty()) << c.label;
    }
}
