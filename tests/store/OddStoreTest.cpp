// SPDX-License-Identifier: GPL-3.0-or-later
// Stores that are odd but possible: links that lead back into the walk, files that are not
// regular, and names that are not UTF-8. Each must list in bounded time and lose nothing.
#include "support/DeepTree.h"
#include "support/StoreTestSupport.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace parcelo;
using namespace parcelo::test;
namespace fs = std::filesystem;

namespace {

const QByteArray kMessage = "From a@b Mon Jan  1 00:00:00 2001\nSubject: x\n\nbody\n";
const QByteArray kLatin1 = "Entw\xFCrfe"; // "Entwürfe" in Latin-1: not UTF-8

fs::path native(const QString& path) {
    return fs::path(QFile::encodeName(path).toStdString());
}

// Writes a file whose path may hold bytes that are not UTF-8.
void writeRaw(const fs::path& path, const QByteArray& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary).write(bytes.constData(), bytes.size());
}

fs::path raw(const fs::path& directory, const QByteArray& name) {
    return directory / name.toStdString();
}

// A temporary directory that can remove names QTemporaryDir cannot (bytes that are not UTF-8).
struct RawTempDir : QTemporaryDir {
    ~RawTempDir() { fs::remove_all(native(path())); }
};

struct Folder {
    QByteArray name;
    int depth = 0;
    FOLDERPROPS props;
};

void walk(IStoreNamespace& store, StoreFolderId parent, int depth, std::vector<Folder>* out) {
    FOLDERPROPS props;
    HENUMSTORE handle = 0;
    for (HRESULT hr = store.GetFirstSubFolder(parent, &props, &handle); hr == S_OK;
         hr = store.GetNextSubFolder(handle, &props)) {
        out->push_back({props.szName, depth, props});
        walk(store, props.dwFolderId, depth + 1, out);
    }
    if (handle != 0)
        store.GetSubFolderClose(handle);
}

// "name" for a top-level folder, "  name" one level down, and so on.
QList<QByteArray> lines(IStoreNamespace& store) {
    std::vector<Folder> folders;
    walk(store, kRootFolderId, 0, &folders);
    QList<QByteArray> result;
    for (const Folder& folder : folders)
        result.append(QByteArray(folder.depth * 2, ' ') + folder.name + ' ' +
                      QByteArray::number(folder.props.cMessage));
    return result;
}

StoreFolderId idOf(IStoreNamespace& store, const QByteArray& name) {
    std::vector<Folder> folders;
    walk(store, kRootFolderId, 0, &folders);
    for (const Folder& folder : folders)
        if (folder.name == name)
            return folder.props.dwFolderId;
    return kRootFolderId;
}

} // namespace

TEST(OddStore, SbdLinksBackIntoTheWalkAddNothing) {
    RawTempDir dir;
    const fs::path root = native(dir.path());
    writeRaw(root / "Inbox", kMessage);
    writeRaw(root / "elsewhere" / "Work", kMessage + "\n" + kMessage);
    fs::create_directory_symlink(".", root / "Inbox.sbd");
    fs::create_directory_symlink(".", root / "Other.sbd");
    fs::create_directory_symlink("elsewhere", root / "Work.sbd");
    fs::create_directory_symlink("..", root / "elsewhere" / "Up.sbd");

    auto store = OpenStore(dir.path());
    ASSERT_TRUE(store);
    // A link to a directory not walked yet is a folder as any other.
    EXPECT_EQ(lines(*store), (QList<QByteArray>{"Inbox 1", "Work 0", "  Work 2"}));
}

TEST(OddStore, OnlyRegularFilesAreMailboxesAndMessages) {
    RawTempDir dir;
    const fs::path mbox = native(dir.filePath("mbox"));
    writeRaw(mbox / "Inbox", kMessage);
    fs::create_symlink("/dev/zero", mbox / "Zero");
    ASSERT_EQ(::mkfifo((mbox / "Pipe").c_str(), 0600), 0);
    auto mboxStore = OpenStore(dir.filePath("mbox"));
    ASSERT_TRUE(mboxStore);
    EXPECT_EQ(lines(*mboxStore), QList<QByteArray>{"Inbox 1"});

    const fs::path maildir = native(dir.filePath("maildir"));
    writeRaw(maildir / "cur" / "1.host:2,S", "Subject: a\n\nbody\n");
    fs::create_directories(maildir / "new");
    fs::create_symlink("/dev/zero", maildir / "cur" / "2.host:2,S");
    ASSERT_EQ(::mkfifo((maildir / "new" / "3.host").c_str(), 0600), 0);
    auto maildirStore = OpenStore(dir.filePath("maildir"));
    ASSERT_TRUE(maildirStore);
    EXPECT_EQ(lines(*maildirStore), QList<QByteArray>{"Inbox 1"});
    std::unique_ptr<IStoreFolder> folder;
    ASSERT_EQ(maildirStore->OpenFolder(idOf(*maildirStore, "Inbox"), &folder), S_OK);
    EXPECT_EQ(EnumerateMessages(*folder).size(), 1u);
}

TEST(OddStore, SystemFoldersAreNoStores) {
    for (const QString path : {"/proc", "/proc/self"}) {
        QString error;
        EXPECT_EQ(CreateStoreNamespace(path, &error), nullptr) << path.toStdString();
        EXPECT_TRUE(error.contains("not a mail store")) << error.toStdString();
    }
}

TEST(OddStore, NamesThatAreNotUtf8KeepTheirBytesAndTheirMessages) {
    RawTempDir dir;
    const fs::path mbox = native(dir.filePath("mbox"));
    writeRaw(raw(mbox, kLatin1), kMessage + "\n" + kMessage);
    writeRaw(raw(mbox, kLatin1 + ".sbd") / "Sub", kMessage);
    auto mboxStore = OpenStore(dir.filePath("mbox"));
    ASSERT_TRUE(mboxStore);
    EXPECT_EQ(lines(*mboxStore), (QList<QByteArray>{kLatin1 + " 2", "  Sub 1"}));
    std::unique_ptr<IStoreFolder> folder;
    ASSERT_EQ(mboxStore->OpenFolder(idOf(*mboxStore, kLatin1), &folder), S_OK);
    const auto messages = EnumerateMessages(*folder);
    ASSERT_EQ(messages.size(), 2u);
    bool ok = false;
    EXPECT_EQ(ReadSource(*folder, messages[0].dwMessageId, &ok), "Subject: x\r\n\r\nbody\r\n");
    EXPECT_TRUE(ok);

    const fs::path maildir = native(dir.filePath("maildir"));
    writeRaw(maildir / "cur" / "1.host:2,S", "Subject: a\n\nbody\n");
    writeRaw(raw(maildir, "." + kLatin1) / "cur" / "2.host:2,", "Subject: b\n\nbody\n");
    writeRaw(raw(maildir, kLatin1) / "cur" / "3.host:2,", "Subject: c\n\nbody\n");
    writeRaw(raw(maildir, kLatin1) / "cur" / "4.host:2,", "Subject: d\n\nbody\n");
    fs::create_directories(raw(maildir, kLatin1) / "new");
    fs::create_directories(raw(maildir, kLatin1) / "tmp");
    auto maildirStore = OpenStore(dir.filePath("maildir"));
    ASSERT_TRUE(maildirStore);
    // The Maildir++ folder and the nested one have the same name: both are listed.
    EXPECT_EQ(lines(*maildirStore), (QList<QByteArray>{kLatin1 + " 1", kLatin1 + " 2", "Inbox 1"}));

    // Such a Maildir can be changed as any other.
    std::vector<Folder> folders;
    walk(*maildirStore, kRootFolderId, 0, &folders);
    ASSERT_EQ(maildirStore->OpenFolder(folders[1].props.dwFolderId, &folder), S_OK);
    MESSAGEIDLIST ids;
    ids.ids.push_back(EnumerateMessages(*folder).front().dwMessageId);
    EXPECT_EQ(folder->DeleteMessages(ids), S_OK);
    EXPECT_EQ(folder->Close(), S_OK);
    EXPECT_FALSE(fs::exists(raw(maildir, kLatin1) / "cur" / "3.host:2,"));
    EXPECT_TRUE(fs::exists(raw(maildir, kLatin1) / "cur" / "4.host:2,"));
}

TEST(OddStore, MaildirMessageNamedInBytesThatAreNotUtf8IsReadAndKept) {
    RawTempDir dir;
    const fs::path maildir = native(dir.path());
    writeRaw(maildir / "cur" / "1.host:2,S", "Subject: a\n\nbody\n");
    const fs::path odd = raw(maildir / "cur", "2.caf\xE9:2,S");
    writeRaw(odd, "Subject: b\n\nbody\n");
    auto store = OpenStore(dir.path());
    ASSERT_TRUE(store);
    EXPECT_EQ(lines(*store), QList<QByteArray>{"Inbox 2"});
    std::unique_ptr<IStoreFolder> folder;
    ASSERT_EQ(store->OpenFolder(idOf(*store, "Inbox"), &folder), S_OK);
    const auto messages = EnumerateMessages(*folder);
    ASSERT_EQ(messages.size(), 2u);
    bool ok = false;
    EXPECT_EQ(ReadSource(*folder, messages[1].dwMessageId, &ok), "Subject: b\r\n\r\nbody\r\n");
    EXPECT_TRUE(ok);
    MESSAGEIDLIST ids;
    ids.ids.push_back(messages[1].dwMessageId);
    EXPECT_LT(folder->DeleteMessages(ids), 0);
    EXPECT_TRUE(fs::exists(odd));
}

TEST(OddStore, MboxNamedInBytesThatAreNotUtf8IsNeverLostByAChange) {
    RawTempDir dir;
    const fs::path mbox = native(dir.filePath("mbox"));
    writeRaw(raw(mbox, kLatin1), kMessage + "\n" + kMessage);
    auto store = OpenStore(dir.filePath("mbox"));
    ASSERT_TRUE(store);
    std::unique_ptr<IStoreFolder> folder;
    ASSERT_EQ(store->OpenFolder(idOf(*store, kLatin1), &folder), S_OK);
    MESSAGEIDLIST ids;
    ids.ids.push_back(EnumerateMessages(*folder).front().dwMessageId);
    folder->DeleteMessages(ids);
    folder->Close();
    // Whether or not the store could apply the change, the file is whole or rewritten in
    // place, and nothing else appeared beside it.
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(mbox))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{kLatin1.toStdString()});
    std::ifstream in(raw(mbox, kLatin1), std::ios::binary);
    const std::string content((std::istreambuf_iterator<char>(in)), {});
    EXPECT_TRUE(content == (kMessage + "\n" + kMessage).toStdString() ||
                QByteArray::fromStdString(content).count("Subject: x") == 1)
        << content;
}

// Deep trees are listed whole up to 1000 levels; what lies deeper, or whose path the system
// cannot take (4096 bytes), is left out and named with the reason.
TEST(OddStore, DeepTreesAreListedWholeOrTheirCutIsNamed) {
    const struct {
        const char* what;
        int levels;
        QByteArray dirName;
        QByteArray fileName;
        bool withCur;
        int listed;
        const char* reason; // of the one folder left out; null when none is
    } cases[] = {
        {"mbox 70 deep", 69, "a.sbd", "a", false, 70, nullptr},
        {"Maildir 10 deep", 10, "m", "", true, 10, nullptr},
        {"Maildir 1001 deep", 1001, "m", "", true, 1000, "it lies more than 1000 folders deep"},
        {"mbox paths past 4096 bytes", 700, "a.sbd", "a", false, -1,
         "its path is longer than the system allows (4095 bytes)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir dir;
        const QString root = dir.filePath("store");
        ASSERT_TRUE(QDir().mkpath(root));
        if (!c.withCur)
            writeRaw(native(root + "/a"), kMessage);
        ASSERT_TRUE(MakeDeepTree(root, c.levels, c.dirName, c.fileName, kMessage, c.withCur));
        QString error;
        auto store = CreateStoreNamespace(root, &error);
        ASSERT_TRUE(store) << error.toStdString();
        const QList<QByteArray> listed = lines(*store);
        const std::vector<SkippedFolder> skipped = store->SkippedFolders();
        if (c.listed >= 0) {
            EXPECT_EQ(listed.size(), c.listed) << listed.join('\n').constData();
        } else {
            // Every folder whose path fits is there: "a" and each ".../a.sbd/a" shorter than 4096.
            const int fits = 1 + (4093 - int(QFile::encodeName(root).size())) / 6;
            EXPECT_EQ(listed.size(), fits);
        }
        for (const QByteArray& line : listed)
            EXPECT_TRUE(line.endsWith(" 1")) << line.constData();
        if (!c.reason) {
            EXPECT_TRUE(skipped.empty());
        } else {
            ASSERT_FALSE(skipped.empty());
            EXPECT_LE(skipped.size(), 2u); // a.sbd, or its "a" and the a.sbd beside it
            for (const SkippedFolder& folder : skipped) {
                EXPECT_EQ(folder.reason, QString::fromLatin1(c.reason));
                EXPECT_TRUE(folder.path.startsWith(root + "/" + c.dirName + "/"));
            }
        }
        RemoveDeepTree(root);
    }
}
