#pragma once

#include "store/HeaderSummary.h"
#include "store/IStoreFolder.h"

#include <QDateTime>
#include <QString>
#include <map>
#include <vector>

namespace parcelo {

// The messages of one Maildir folder (the files of new/ and cur/ in file-name order). Marking
// read renames a file into cur/ with the S flag; deleting removes the file; both happen at once.
class MaildirFolder : public IStoreFolder {
public:
    explicit MaildirFolder(const QString& directory);
    ~MaildirFolder() override;

    bool open(QString* error);

    HRESULT GetFirstMessage(MESSAGEPROPS* props, HENUMSTORE* handle) override;
    HRESULT GetNextMessage(HENUMSTORE handle, MESSAGEPROPS* props) override;
    HRESULT GetMessageClose(HENUMSTORE handle) override;
    HRESULT OpenMessage(StoreMessageId id, std::unique_ptr<IStoreStream>* stream) override;
    HRESULT MarkMessagesAsRead(bool read, const MESSAGEIDLIST& ids) override;
    HRESULT DeleteMessages(const MESSAGEIDLIST& ids) override;
    HRESULT Compact() override;
    HRESULT Close() override;

    struct Entry {
        QString path;
        QString fileName;
        bool inNew = false;
        bool gone = false;
        bool measured = false;
        bool readable = false;
        quint64 cbMessage = 0;
        QDateTime modified;
    };

    // The message files of a Maildir directory, in file-name order; trashed (T) ones left out.
    static std::vector<Entry> ListMessages(const QString& directory);

private:
    HRESULT nextFrom(StoreMessageId id, HENUMSTORE handle, MESSAGEPROPS* props);
    Entry* entry(StoreMessageId id);

    QString directory_;
    std::vector<Entry> entries_;
    std::map<HENUMSTORE, StoreMessageId> enumerations_;
    HENUMSTORE nextHandle_ = 1;
    bool open_ = false;
};

} // namespace parcelo
