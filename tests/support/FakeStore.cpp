// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/FakeStore.h"

#include <algorithm>
#include <cstring>

namespace parcelo::test {

namespace {

class FakeStream : public IStoreStream {
public:
    FakeStream(std::string bytes, bool failMidway, QString reason)
        : bytes_(std::move(bytes)), failMidway_(failMidway), reason_(std::move(reason)) {}
    HRESULT Read(char* buffer, std::uint32_t cb, std::uint32_t* cbRead) override {
        if (failMidway_ && pos_ > 0) {
            *cbRead = 0;
            error_ = reason_;
            return E_IO;
        }
        const size_t n = std::min<size_t>(cb, bytes_.size() - pos_);
        std::memcpy(buffer, bytes_.data() + pos_, n);
        pos_ += n;
        *cbRead = static_cast<std::uint32_t>(n);
        return S_OK;
    }
    QString LastError() const override { return error_; }

private:
    std::string bytes_;
    size_t pos_ = 0;
    bool failMidway_;
    QString reason_;
    QString error_;
};

class FakeFolder : public IStoreFolder {
public:
    FakeFolder(FakeStore& store, FakeStore::Folder& folder) : store_(store), folder_(folder) {}

    HRESULT GetFirstMessage(MESSAGEPROPS* props, HENUMSTORE* handle) override {
        *handle = 1;
        next_ = 0;
        return GetNextMessage(*handle, props);
    }
    HRESULT GetNextMessage(HENUMSTORE, MESSAGEPROPS* props) override {
        while (next_ < folder_.messages.size() && folder_.messages[next_].deleted)
            ++next_;
        if (next_ >= folder_.messages.size())
            return S_FALSE;
        *props = folder_.messages[next_].props;
        props->dwMessageId = static_cast<StoreMessageId>(next_);
        ++next_;
        return S_OK;
    }
    HRESULT GetMessageClose(HENUMSTORE) override { return S_OK; }
    QString MessageLocation(StoreMessageId id) const override {
        return folder_.location.isEmpty()
                   ? QString()
                   : folder_.location + QLatin1Char('#') + QString::number(id);
    }
    HRESULT OpenMessage(StoreMessageId id, std::unique_ptr<IStoreStream>* stream) override {
        if (id >= folder_.messages.size() || folder_.messages[id].failOpen)
            return fail(E_FAIL);
        *stream = std::make_unique<FakeStream>(
            folder_.messages[id].source, folder_.messages[id].failReadMidway, store_.failReason);
        return S_OK;
    }
    HRESULT MarkMessagesAsRead(bool read, const MESSAGEIDLIST& ids) override {
        for (StoreMessageId id : ids.ids) {
            if (folder_.messages.at(id).failChange)
                return fail(E_IO);
            folder_.messages.at(id).read = read;
            folder_.messages.at(id).props.dwState &= ~MSG_UNREAD;
            store_.calls.push_back("read:" + folder_.name.toStdString() + ":" + std::to_string(id));
        }
        return S_OK;
    }
    HRESULT DeleteMessages(const MESSAGEIDLIST& ids) override {
        for (StoreMessageId id : ids.ids) {
            if (folder_.messages.at(id).failChange)
                return fail(E_IO);
            folder_.messages.at(id).deleted = true;
            store_.calls.push_back("delete:" + folder_.name.toStdString() + ":" +
                                   std::to_string(id));
        }
        return S_OK;
    }
    HRESULT Compact() override {
        ++folder_.compacted;
        store_.calls.push_back("compact:" + folder_.name.toStdString());
        return S_OK;
    }
    HRESULT Close() override { return folder_.failClose ? fail(E_IO) : S_OK; }
    QString LastError() const override { return error_; }

private:
    HRESULT fail(HRESULT hr) {
        error_ = store_.failReason;
        return hr;
    }

    FakeStore& store_;
    FakeStore::Folder& folder_;
    size_t next_ = 0;
    QString error_;
};

} // namespace

HRESULT FakeStore::fail(HRESULT hr, const QString& what) {
    lastError_ = what + QStringLiteral(": ") + failReason;
    return hr;
}

FakeStore::FakeStore() {
    folders[0].id = 0;
}

StoreFolderId FakeStore::AddFolder(StoreFolderId parent, const QString& name) {
    Folder folder;
    folder.id = nextId_++;
    folder.parent = parent;
    folder.name = name;
    folders[folder.id] = folder;
    return folder.id;
}

FakeStore::Message& FakeStore::AddMessage(StoreFolderId folderId, const std::string& source) {
    Message message;
    for (size_t i = 0; i < source.size(); ++i) {
        if (source[i] == '\n' && (i == 0 || source[i - 1] != '\r'))
            message.source += '\r';
        message.source += source[i];
    }
    message.props.cbMessage = message.source.size();
    message.props.dwState = MSG_UNREAD;
    auto& messages = folders.at(folderId).messages;
    messages.push_back(message);
    return messages.back();
}

HRESULT FakeStore::GetDirectory(QString* dir) {
    *dir = directory;
    return S_OK;
}

std::vector<StoreFolderId> FakeStore::ChildrenOf(StoreFolderId parent) const {
    std::vector<StoreFolderId> children;
    for (const auto& [id, folder] : folders)
        if (id != 0 && folder.parent == parent)
            children.push_back(id);
    return children;
}

void FakeStore::FillProps(const Folder& folder, FOLDERPROPS* props) const {
    props->dwFolderId = folder.id;
    props->szName = folder.name.toLocal8Bit();
    props->cSubFolders = static_cast<int>(ChildrenOf(folder.id).size());
    int count = 0, unread = 0;
    for (const Message& m : folder.messages) {
        if (m.deleted)
            continue;
        ++count;
        unread += (m.props.dwState & MSG_UNREAD) ? 1 : 0;
    }
    props->cMessage = folder.reportedCount >= 0 ? folder.reportedCount : count;
    props->cUnread = unread;
}

HRESULT FakeStore::GetFirstSubFolder(StoreFolderId parent, FOLDERPROPS* props, HENUMSTORE* handle) {
    *handle = nextHandle_++;
    enums_[*handle] = {ChildrenOf(parent), 0};
    return GetNextSubFolder(*handle, props);
}

HRESULT FakeStore::GetNextSubFolder(HENUMSTORE handle, FOLDERPROPS* props) {
    auto it = enums_.find(handle);
    if (it == enums_.end())
        return E_INVALIDARG;
    auto& [ids, pos] = it->second;
    if (pos >= ids.size())
        return S_FALSE;
    FillProps(folders.at(ids[pos++]), props);
    return S_OK;
}

HRESULT FakeStore::GetSubFolderClose(HENUMSTORE handle) {
    enums_.erase(handle);
    return S_OK;
}

HRESULT FakeStore::GetFolderProperties(StoreFolderId id, FOLDERPROPS* props) {
    auto it = folders.find(id);
    if (it == folders.end() || it->second.failProperties)
        return fail(E_FAIL, QStringLiteral("properties of folder %1").arg(id));
    FillProps(it->second, props);
    return S_OK;
}

HRESULT FakeStore::OpenFolder(StoreFolderId id, std::unique_ptr<IStoreFolder>* folder) {
    auto it = folders.find(id);
    if (it == folders.end() || it->second.failOpen)
        return fail(E_FAIL, QStringLiteral("folder %1").arg(id));
    ++it->second.opened;
    *folder = std::make_unique<FakeFolder>(*this, it->second);
    return S_OK;
}

QString FakeStore::FolderChangeStamp(StoreFolderId id) const {
    const auto it = folders.find(id);
    return it == folders.end() ? QString() : it->second.changeStamp;
}

} // namespace parcelo::test
