#pragma once

#include "store/StoreTypes.h"

namespace parcelo {

// The source of one message, read in chunks. A read of 0 bytes is the end;
// a failed read returns a failure and the reader must treat the source as incomplete.
class IStoreStream {
public:
    virtual ~IStoreStream() = default;
    virtual HRESULT Read(char* buffer, std::uint32_t cb, std::uint32_t* cbRead) = 0;
};

} // namespace parcelo
