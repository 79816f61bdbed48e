// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/IStoreNamespace.h"
#include "store/MailFolderNode.h"

#include <QDateTime>
#include <map>
#include <memory>
#include <utility>

namespace parcelo {

// A store of mbox files or Maildirs on the local disk, with its folder tree read once.
class LocalStoreNamespace : public IStoreNamespace {
public:
    LocalStoreNamespace(const QString& directory, std::vector<MailFolderNode> folders,
                        std::vector<SkippedFolder> skipped = {});

    HRESULT Initialize() override;
    HRESULT GetDirectory(QString* directory) override;
    HRESULT GetFirstSubFolder(StoreFolderId parent, FOLDERPROPS* props,
                              HENUMSTORE* handle) override;
    HRESULT GetNextSubFolder(HENUMSTORE handle, FOLDERPROPS* props) override;
    HRESULT GetSubFolderClose(HENUMSTORE handle) override;
    HRESULT GetFolderProperties(StoreFolderId id, FOLDERPROPS* props) override;
    HRESULT OpenFolder(StoreFolderId id, std::unique_ptr<IStoreFolder>* folder) override;
    QString LastError() const override { return error_; }
    std::vector<SkippedFolder> SkippedFolders() const override { return skipped_; }
    // Of the mbox file and its index, or of the Maildir's cur/ and new/ and each file in them:
    // device, inode, size and the times of the last change of content and of status (which no
    // program can set back), hashed.
    QString FolderChangeStamp(StoreFolderId id) const override;
    void LeaveMessageCountsOut() override { countsLeftOut_ = true; }

private:
    struct Counts {
        qint64 size = -1;
        quint64 inode = 0;
        QDateTime modified;
        std::int32_t messages = 0;
        std::int32_t unread = 0;
    };

    Counts countsOf(const MailFolderNode& node);

    QString directory_;
    QString error_;
    std::vector<MailFolderNode> folders_;
    std::vector<SkippedFolder> skipped_;
    bool clientProfile_; // the store lies in the mail client's profile
    std::map<HENUMSTORE, std::pair<StoreFolderId, size_t>> enumerations_; // parent, next child
    HENUMSTORE nextHandle_ = 1;
    // Counted once per version of a file; folders opened here drop their entry on a change.
    bool countsLeftOut_ = false;
    std::shared_ptr<std::map<QString, Counts>> mboxCounts_ =
        std::make_shared<std::map<QString, Counts>>();
};

} // namespace parcelo
