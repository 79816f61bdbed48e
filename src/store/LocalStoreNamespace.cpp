// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/LocalStoreNamespace.h"

#include "platform/MailClientProfile.h"
#include "store/EmptyStoreFolder.h"
#include "store/RegularFile.h"
#include "store/maildir/MaildirFileName.h"
#include "store/maildir/MaildirFolder.h"
#include "store/mbox/CurrentFolderIndex.h"
#include "store/mbox/MboxFolder.h"
#include "store/mbox/MboxScanner.h"
#include "store/mork/MailFolderIndex.h"

#include <QFileInfo>

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
    if (node.kind == MailFolderNode::Kind::Maildir) {
        for (const MaildirFolder::Entry& entry : MaildirFolder::ListMessages(node.mailPath)) {
            ++counts.messages;
            if (entry.inNew || !MaildirFileName::parse(entry.fileName).hasFlag(QLatin1Char('S')))
                ++counts.unread;
        }
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
