// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/EnumeratedStoreFolder.h"
#include "store/StoreDirectory.h"
#include "store/header/HeaderSummary.h"

#include <QDateTime>
#include <QString>
#include <map>
#include <vector>

namespace parcelo {

// The messages of one Maildir folder (the files of new/ and cur/ in file-name order). Marking
// read renames a file into cur/ with the S flag; deleting removes the file; both happen at once.
class MaildirFolder : public EnumeratedStoreFolder {
public:
    explicit MaildirFolder(const QString& directory);
    ~MaildirFolder() override;

    bool open(QString* error);

    HRESULT OpenMessage(StoreMessageId id, std::unique_ptr<IStoreStream>* stream) override;
    HRESULT MarkMessagesAsRead(bool read, const MESSAGEIDLIST& ids) override;
    HRESULT DeleteMessages(const MESSAGEIDLIST& ids) override;
    HRESULT Compact() override;
    HRESULT Close() override;
    QString LastError() const override { return error_; }
    // The message's file, where it is now (marking read moves it).
    QString MessageLocation(StoreMessageId id) const override;

    struct Entry {
        QString path;
        std::shared_ptr<const PathPin> pin; // keeps path usable (see StoreDirEntry)
        QString fileName;
        bool inNew = false;
        bool gone = false;
        bool measured = false;
        bool readable = false;
        quint64 cbMessage = 0;
        QDateTime modified;
        QString error; // why it could not be measured
    };

    // The regular message files of a Maildir directory, in file-name order; trashed (T) ones
    // left out.
    static std::vector<Entry> ListMessages(const QString& directory);

private:
    bool isOpen() const override { return open_; }
    HRESULT findFrom(StoreMessageId id, StoreMessageId* next, MESSAGEPROPS* props) override;
    Entry* entry(StoreMessageId id);
    // The entry of a live message id, or null with the reason in error_.
    Entry* liveEntry(StoreMessageId id);

    QString directory_;
    std::vector<Entry> entries_;
    bool open_ = false;
    QString error_;
};

} // namespace parcelo
