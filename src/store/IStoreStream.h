// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/StoreTypes.h"

#include <QString>

namespace parcelo {

// The source of one message, read in chunks. A read of 0 bytes is the end;
// a failed read returns a failure and the reader must treat the source as incomplete.
class IStoreStream {
public:
    virtual ~IStoreStream() = default;
    virtual HRESULT Read(char* buffer, std::uint32_t cb, std::uint32_t* cbRead) = 0;
    // Why the read failed (the system's reason, or that the source changed since it was
    // indexed); empty when nothing failed or the stream cannot say.
    virtual QString LastError() const { return {}; }
};

} // namespace parcelo
