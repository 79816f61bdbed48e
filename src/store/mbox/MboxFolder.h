#pragma once

#include "store/EnumeratedStoreFolder.h"
#include "store/mbox/MboxScanner.h"

#include <QString>
#include <functional>
#include <map>
#include <vector>

namespace parcelo {

// One mbox file as an open store folder. Marking read and deleting are collected and applied
// once, by Compact() or Close(): in place when every change is an X-Mozilla-Status edit,
// otherwise in one rewrite of the file.
class MboxFolder : public EnumeratedStoreFolder {
public:
    // changed is called after every change written to the file.
    explicit MboxFolder(const QString& path, std::function<void()> changed = {});
    ~MboxFolder() override;

    // Indexes the file; false (with the reason) when it cannot be read.
    bool open(QString* error);
    // Why the last Compact() or Close() failed, naming the lock that blocked a change;
    // empty after a success.
    QString lastError() const { return error_; }

    HRESULT OpenMessage(StoreMessageId id, std::unique_ptr<IStoreStream>* stream) override;
    HRESULT MarkMessagesAsRead(bool read, const MESSAGEIDLIST& ids) override;
    HRESULT DeleteMessages(const MESSAGEIDLIST& ids) override;
    HRESULT Compact() override;
    HRESULT Close() override;

private:
    struct Pending {
        bool read = false;
        bool deleted = false;
    };
    static constexpr size_t kGone = size_t(-1);

    HRESULT applyChanges(bool compact);
    // Marks the messages for a change applied at Close or Compact.
    HRESULT recordChange(const MESSAGEIDLIST& ids, bool Pending::*change);
    // Index into scan_.messages of a live message id, or kGone.
    size_t indexOf(StoreMessageId id) const;
    bool isOpen() const override { return open_; }
    HRESULT findFrom(StoreMessageId id, StoreMessageId* next, MESSAGEPROPS* props) override;

    QString path_;
    std::function<void()> changed_;
    MboxScan scan_;
    std::vector<size_t> ids_; // message id -> index into scan_.messages
    std::vector<Pending> pending_;
    bool open_ = false;
    QString error_;
};

} // namespace parcelo
