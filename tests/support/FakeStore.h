// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/IStoreNamespace.h"

#include <QString>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace parcelo::test {

// An in-memory store for tests of the tree and the export run, with failures on demand.
class FakeStore : public IStoreNamespace {
public:
    struct Message {
        MESSAGEPROPS props;
        std::string source;
        bool failOpen = false;
        bool failReadMidway = false; // the stream fails after its first chunk
        bool failChange = false;     // marking it read or deleting it fails
        bool read = false;
        bool deleted = false;
    };
    struct Folder {
        StoreFolderId id = 0;
        StoreFolderId parent = 0;
        QString name;
        std::vector<Message> messages;
        bool failOpen = false;
        bool failProperties = false;
        bool failClose = false; // applying its changes at Close fails
        int compacted = 0;
        int reportedCount = -1; // cMessage override, -1 = real count
        QString location;       // when set, where a message lies: it, "#" and the message's id
        QString changeStamp;    // what FolderChangeStamp says of it
        int opened = 0;         // how many times it was opened
    };

    QString directory = QStringLiteral("/home/user/mail/Local Folders");
    std::map<StoreFolderId, Folder> folders; // 0 is the root
    std::vector<std::string> calls;          // "read:<folder>:<id>", "delete:...", "compact:..."
    QString failReason = QStringLiteral("Input/output error"); // what every injected failure says

    FakeStore();
    // Adds a folder under parent and returns its id.
    StoreFolderId AddFolder(StoreFolderId parent, const QString& name);
    // Adds a message with the given source (LF line ends are turned into CR LF).
    Message& AddMessage(StoreFolderId folder, const std::string& source);

    HRESULT Initialize() override { return S_OK; }
    HRESULT GetDirectory(QString* dir) override;
    HRESULT GetFirstSubFolder(StoreFolderId parent, FOLDERPROPS* props,
                              HENUMSTORE* handle) override;
    HRESULT GetNextSubFolder(HENUMSTORE handle, FOLDERPROPS* props) override;
    HRESULT GetSubFolderClose(HENUMSTORE handle) override;
    HRESULT GetFolderProperties(StoreFolderId id, FOLDERPROPS* props) override;
    HRESULT OpenFolder(StoreFolderId id, std::unique_ptr<IStoreFolder>* folder) override;
    QString LastError() const override { return lastError_; }
    QString FolderChangeStamp(StoreFolderId id) const override;

    std::vector<StoreFolderId> ChildrenOf(StoreFolderId parent) const;
    void FillProps(const Folder& folder, FOLDERPROPS* props) const;

private:
    HRESULT fail(HRESULT hr, const QString& what);

    QString lastError_;
    std::map<HENUMSTORE, std::pair<std::vector<StoreFolderId>, size_t>> enums_;
    HENUMSTORE nextHandle_ = 1;
    StoreFolderId nextId_ = 1;
};

} // namespace parcelo::test
