// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/EnumeratedStoreFolder.h"

namespace parcelo {

HRESULT EnumeratedStoreFolder::GetFirstMessage(MESSAGEPROPS* props, HENUMSTORE* handle) {
    *handle = 0;
    if (!isOpen())
        return E_FAIL;
    StoreMessageId next = 0;
    const HRESULT hr = findFrom(0, &next, props);
    if (hr == S_OK) {
        *handle = nextHandle_++;
        enumerations_[*handle] = next;
    }
    return hr;
}

HRESULT EnumeratedStoreFolder::GetNextMessage(HENUMSTORE handle, MESSAGEPROPS* props) {
    const auto it = enumerations_.find(handle);
    if (!isOpen() || it == enumerations_.end())
        return E_INVALIDARG;
    return findFrom(it->second, &it->second, props);
}

HRESULT EnumeratedStoreFolder::GetMessageClose(HENUMSTORE handle) {
    return enumerations_.erase(handle) ? S_OK : E_INVALIDARG;
}

} // namespace parcelo
