#pragma once

#include "store/IStoreFolder.h"

namespace parcelo {

// A folder that only holds sub-folders: it opens, has no messages and nothing to change.
class EmptyStoreFolder : public IStoreFolder {
public:
    HRESULT GetFirstMessage(MESSAGEPROPS*, HENUMSTORE* handle) override {
        *handle = 0;
        return open_ ? S_FALSE : E_FAIL;
    }
    HRESULT GetNextMessage(HENUMSTORE, MESSAGEPROPS*) override { return E_INVALIDARG; }
    HRESULT GetMessageClose(HENUMSTORE) override { return E_INVALIDARG; }
    HRESULT OpenMessage(StoreMessageId, std::unique_ptr<IStoreStream>*) override {
        return E_NOTFOUND;
    }
    HRESULT MarkMessagesAsRead(bool, const MESSAGEIDLIST& ids) override {
        return ids.ids.empty() ? S_OK : E_INVALIDARG;
    }
    HRESULT DeleteMessages(const MESSAGEIDLIST& ids) override {
        return ids.ids.empty() ? S_OK : E_INVALIDARG;
    }
    HRESULT Compact() override { return open_ ? S_OK : E_FAIL; }
    HRESULT Close() override {
        const bool wasOpen = open_;
        open_ = false;
        return wasOpen ? S_OK : E_FAIL;
    }
    QString LastError() const override {
        return open_ ? QStringLiteral("the folder holds no messages")
                     : QStringLiteral("the folder is closed");
    }

private:
    bool open_ = true;
};

} // namespace parcelo
