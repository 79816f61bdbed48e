// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/IStoreFolder.h"

namespace parcelo {

// A folder that only holds sub-folders: it opens, has no messages and nothing to change.
class EmptyStoreFolder : public IStoreFolder {
public:
    HRESULT GetFirstMessage(MESSAGEPROPS*, HENUMSTORE* handle) override {
        *handle = 0;
        return open_ ? S_FALSE : closed();
    }
    HRESULT GetNextMessage(HENUMSTORE, MESSAGEPROPS*) override { return noMessages(E_INVALIDARG); }
    HRESULT GetMessageClose(HENUMSTORE) override { return noMessages(E_INVALIDARG); }
    HRESULT OpenMessage(StoreMessageId, std::unique_ptr<IStoreStream>*) override {
        return noMessages(E_NOTFOUND);
    }
    HRESULT MarkMessagesAsRead(bool, const MESSAGEIDLIST& ids) override {
        return ids.ids.empty() ? S_OK : noMessages(E_INVALIDARG);
    }
    HRESULT DeleteMessages(const MESSAGEIDLIST& ids) override {
        return ids.ids.empty() ? S_OK : noMessages(E_INVALIDARG);
    }
    HRESULT Compact() override { return open_ ? S_OK : closed(); }
    HRESULT Close() override {
        const bool wasOpen = open_;
        open_ = false;
        return wasOpen ? S_OK : closed();
    }
    QString LastError() const override { return error_; }

private:
    HRESULT noMessages(HRESULT hr) {
        error_ = QStringLiteral("the folder holds no messages");
        return hr;
    }
    HRESULT closed() {
        error_ = QStringLiteral("the folder is closed");
        return E_FAIL;
    }

    bool open_ = true;
    QString error_;
};

} // namespace parcelo
