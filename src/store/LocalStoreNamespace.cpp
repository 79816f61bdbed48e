// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/LocalStoreNamespace.h"

#include "platform/MailClientProfile.h"
#include "platform/Sha256.h"
#include "store/EmptyStoreFolder.h"
#include "store/RegularFile.h"
#include "store/maildir/MaildirFolder.h"
#include "store/mbox/CurrentFolderIndex.h"
#include "store/mbox/MboxFolder.h"
#include "store/mbox/MboxScanner.h"
#include "store/mork/MailFolderIndex.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace parcelo {

LocalStoreNamespace::LocalStoreNamespace(const QString& directory,
                                         std::vector<MailFolderNode> folders,
                                         std::vector<SkippedFolder> skipped)
    : directory_(directory), folders_(std::move(folders)), skipped_(std::move(skipped)),
      clientProfile_(!FindMailClientProfile(directory).isEmpty()) {}

HRESULT LocalStoreNamespace::Initialize() {
    if (!folders_.empty())
        return S_OK;
    error_ = QStringLiteral("%1 holds no mail folders").arg(directory_);
    return E_FAIL;
}

HRESULT LocalStoreNamespace::GetDirectory(QString* directory) {
    *directory = directory_;
    return S_OK;
}

LocalStoreNamespace::Counts LocalStoreNamespace::countsOf(const MailFolderNode& node) {
    Counts counts;
    if (countsLeftOut_ && node.kind != MailFolderNode::Kind::None) {
        counts.messages = -1;
        counts.unread = -1;
        return counts;
    }
    if (node.kind == MailFolderNode::Kind::Maildir) {
        const MaildirFolder::Counts found = MaildirFolder::CountMessages(node.mailPath);
        counts.messages = found.messages;
        counts.unread = found.unread;
    } else if (node.kind == MailFolderNode::Kind::Mbox) {
        Counts& cached = (*mboxCounts_)[node.mailPath];
        MboxScan known;
        known.size = cached.size;
        known.inode = cached.inode;
        known.modified = cached.modified;
        if (cached.size >= 0 && SameFileAsScanned(node.mailPath, known))
            return cached;
        // Counted as read, without an index: memory stays flat however big the mailbox.
        MboxScan scan;
        MboxCounts found;
        QFile file(node.mailPath);
        const std::unique_ptr<MailFolderIndex> index = ReadCurrentFolderIndex(node.mailPath);
        const MboxStateRules rules{clientProfile_, index.get()};
        if (!OpenRegularFile(&file, node.mailPath) ||
            !CountMboxMessages(file.handle(), &scan, &found, kMboxSplitSize, &rules))
            return Counts{};
        counts.messages = found.messages;
        counts.unread = found.unread;
        counts.size = scan.size;
        counts.inode = scan.inode;
        counts.modified = scan.modified;
        cached = counts;
    }
    return counts;
}

HRESULT LocalStoreNamespace::GetFolderProperties(StoreFolderId id, FOLDERPROPS* props) {
    if (id >= folders_.size()) {
        error_ = QStringLiteral("no mail folder %1 in the store").arg(id);
        return E_NOTFOUND;
    }
    const MailFolderNode& node = folders_[id];
    const Counts counts = countsOf(node);
    *props = FOLDERPROPS{};
    props->dwFolderId = id;
    props->cSubFolders = std::int32_t(node.children.size());
    props->cMessage = counts.messages;
    props->cUnread = counts.unread;
    props->szName = node.name;
    return S_OK;
}

namespace {

void AddFileState(Sha256& hash, const struct stat& st) {
    const auto add = [&hash](auto value) {
        const auto wide = static_cast<std::int64_t>(value);
        hash.add(std::string_view(reinterpret_cast<const char*>(&wide), sizeof wide));
    };
    add(st.st_dev);
    add(st.st_ino);
    add(st.st_size);
    add(st.st_mtim.tv_sec);
    add(st.st_mtim.tv_nsec);
    add(st.st_ctim.tv_sec);
    add(st.st_ctim.tv_nsec);
}

// Each file of the directory by name and state: a message file written over in place, against
// the Maildir rules, changes the stamp too.
bool AddDirectoryState(Sha256& hash, const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    DIR* dir = ::opendir(native.constData());
    if (!dir)
        return errno == ENOENT;
    struct stat st {};
    bool ok = ::fstat(::dirfd(dir), &st) == 0;
    if (ok)
        AddFileState(hash, st);
    while (ok) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (!entry) {
            ok = errno == 0;
            break;
        }
        if (entry->d_name[0] == '.')
            continue;
        if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue; // gone meanwhile: the directory's times have changed anyway
        hash.add(std::string_view(entry->d_name, std::strlen(entry->d_name) + 1));
        AddFileState(hash, st);
    }
    ::closedir(dir);
    return ok;
}

} // namespace

QString LocalStoreNamespace::FolderChangeStamp(StoreFolderId id) const {
    if (id == kRootFolderId || id >= folders_.size())
        return {};
    const MailFolderNode& node = folders_[id];
    Sha256 hash;
    if (node.kind == MailFolderNode::Kind::Maildir) {
        if (!AddDirectoryState(hash, node.mailPath + QStringLiteral("/cur")) ||
            !AddDirectoryState(hash, node.mailPath + QStringLiteral("/new")))
            return {};
    } else if (node.kind == MailFolderNode::Kind::Mbox) {
        // The index too: the mail client may mark a message deleted there alone.
        for (const QString& path : {node.mailPath, node.mailPath + QStringLiteral(".msf")}) {
            struct stat st {};
            if (::stat(QFile::encodeName(path).constData(), &st) == 0)
                AddFileState(hash, st);
            else if (errno != ENOENT || path == node.mailPath)
                return {};
            else
                hash.add("-");
        }
    } else {
        return {};
    }
    const Sha256Digest digest = hash.finish();
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(digest.data()), digest.size()).toHex());
}

HRESULT LocalStoreNamespace::GetFirstSubFolder(StoreFolderId parent, FOLDERPROPS* props,
                                               HENUMSTORE* handle) {
    *handle = 0;
    if (parent >= folders_.size()) {
        error_ = QStringLiteral("no mail folder %1 in the store").arg(parent);
        return E_NOTFOUND;
    }
    if (folders_[parent].children.empty())
        return S_FALSE;
    const HENUMSTORE created = nextHandle_++;
    enumerations_[created] = {parent, 0};
    *handle = created;
    return GetNextSubFolder(created, props);
}

HRESULT LocalStoreNamespace::GetNextSubFolder(HENUMSTORE handle, FOLDERPROPS* props) {
    const auto it = enumerations_.find(handle);
    if (it == enumerations_.end()) {
        error_ = QStringLiteral("no such folder enumeration");
        return E_INVALIDARG;
    }
    auto& [parent, next] = it->second;
    const std::vector<StoreFolderId>& children = folders_[parent].children;
    if (next >= children.size())
        return S_FALSE;
    return GetFolderProperties(children[next++], props);
}

HRESULT LocalStoreNamespace::GetSubFolderClose(HENUMSTORE handle) {
    return enumerations_.erase(handle) ? S_OK : E_INVALIDARG;
}

HRESULT LocalStoreNamespace::OpenFolder(StoreFolderId id, std::unique_ptr<IStoreFolder>* folder) {
    if (id == kRootFolderId || id >= folders_.size()) {
        error_ = QStringLiteral("no mail folder %1 in the store").arg(id);
        return E_NOTFOUND;
    }
    const MailFolderNode& node = folders_[id];
    switch (node.kind) {
    case MailFolderNode::Kind::Mbox: {
        std::weak_ptr<std::map<QString, Counts>> cache = mboxCounts_;
        auto opened = std::make_unique<MboxFolder>(
            node.mailPath,
            [cache, path = node.mailPath] {
                if (auto counts = cache.lock())
                    counts->erase(path);
            },
            clientProfile_);
        if (!opened->open(&error_))
            return E_IO;
        *folder = std::move(opened);
        return S_OK;
    }
    case MailFolderNode::Kind::Maildir: {
        auto opened = std::make_unique<MaildirFolder>(node.mailPath);
        if (!opened->open(&error_))
            return E_IO;
        *folder = std::move(opened);
        return S_OK;
    }
    case MailFolderNode::Kind::None:
        *folder = std::make_unique<EmptyStoreFolder>();
        return S_OK;
    }
    return E_FAIL;
}

} // namespace parcelo
