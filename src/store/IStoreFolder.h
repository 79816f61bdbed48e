#pragma once

#include "store/IStoreStream.h"
#include "store/StoreTypes.h"

#include <memory>

namespace parcelo {

// One open mail folder. Message ids stay valid until the folder is closed.
// Changes that need a rewrite of the folder's file are collected and applied once,
// by Compact() or Close(); destroying an open folder closes it.
class IStoreFolder {
public:
    virtual ~IStoreFolder() = default;

    virtual HRESULT GetFirstMessage(MESSAGEPROPS* props, HENUMSTORE* handle) = 0;
    virtual HRESULT GetNextMessage(HENUMSTORE handle, MESSAGEPROPS* props) = 0;
    virtual HRESULT GetMessageClose(HENUMSTORE handle) = 0;
    virtual void FreeMessageProps(MESSAGEPROPS* props) { *props = MESSAGEPROPS{}; }

    virtual HRESULT OpenMessage(StoreMessageId id, std::unique_ptr<IStoreStream>* stream) = 0;
    virtual HRESULT MarkMessagesAsRead(bool read, const MESSAGEIDLIST& ids) = 0;
    virtual HRESULT DeleteMessages(const MESSAGEIDLIST& ids) = 0;
    virtual HRESULT Compact() = 0;
    // Applies pending changes and releases the folder; later calls fail.
    virtual HRESULT Close() = 0;
};

} // namespace parcelo
