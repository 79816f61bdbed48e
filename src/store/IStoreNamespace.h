// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/IStoreFolder.h"
#include "store/SkippedFolder.h"
#include "store/StoreTypes.h"

#include <QString>
#include <memory>
#include <vector>

namespace parcelo {

// A mail store: a tree of folders, 0 the root, each folder's sub-folders in name order.
class IStoreNamespace {
public:
    virtual ~IStoreNamespace() = default;

    virtual HRESULT Initialize() = 0;
    virtual HRESULT GetDirectory(QString* directory) = 0;

    virtual HRESULT GetFirstSubFolder(StoreFolderId parent, FOLDERPROPS* props,
                                      HENUMSTORE* handle) = 0;
    virtual HRESULT GetNextSubFolder(HENUMSTORE handle, FOLDERPROPS* props) = 0;
    virtual HRESULT GetSubFolderClose(HENUMSTORE handle) = 0;

    virtual HRESULT GetFolderProperties(StoreFolderId id, FOLDERPROPS* props) = 0;
    virtual HRESULT OpenFolder(StoreFolderId id, std::unique_ptr<IStoreFolder>* folder) = 0;

    // Why the last call that failed failed (a folder that cannot be opened or read), in words
    // for the user with the system's reason. Empty when nothing failed or the store cannot say.
    virtual QString LastError() const { return {}; }

    // The directories that reading the tree left out (too deep, or a path too long), whose
    // folders are therefore missing from it.
    virtual std::vector<SkippedFolder> SkippedFolders() const { return {}; }

    // A text that stays the same while nothing that holds the folder's messages changes (which
    // file or directory it is, its size and times), taken without reading the folder; empty
    // when the store cannot tell.
    virtual QString FolderChangeStamp(StoreFolderId id) const {
        (void)id;
        return {};
    }

    // From now on, folder properties leave the message counts unknown (-1) where counting
    // means reading the whole folder: for a caller that shows no counts.
    virtual void LeaveMessageCountsOut() {}
};

// Opens the store at path: a Maildir (cur/ or Maildir++ folders), an mbox tree, or one
// mbox file. Returns null with a reason in error when the path is not a readable store.
std::unique_ptr<IStoreNamespace> CreateStoreNamespace(const QString& path, QString* error);

} // namespace parcelo
