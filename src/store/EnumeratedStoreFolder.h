// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/IStoreFolder.h"

#include <map>

namespace parcelo {

// The message enumeration shared by the folder kinds: each handle remembers the next id to
// look at; the folder only says which message comes at or after an id.
class EnumeratedStoreFolder : public IStoreFolder {
public:
    HRESULT GetFirstMessage(MESSAGEPROPS* props, HENUMSTORE* handle) override;
    HRESULT GetNextMessage(HENUMSTORE handle, MESSAGEPROPS* props) override;
    HRESULT GetMessageClose(HENUMSTORE handle) override;

protected:
    virtual bool isOpen() const = 0;
    // Fills props for the first live message with an id of at least from and sets *next to
    // the id after it (S_OK); S_FALSE with *next past the end when there is none.
    virtual HRESULT findFrom(StoreMessageId from, StoreMessageId* next, MESSAGEPROPS* props) = 0;
    void closeEnumerations() { enumerations_.clear(); }

private:
    std::map<HENUMSTORE, StoreMessageId> enumerations_;
    HENUMSTORE nextHandle_ = 1;
};

} // namespace parcelo
