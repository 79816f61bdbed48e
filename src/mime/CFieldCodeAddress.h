// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "mime/CFieldCodeBase.h"

namespace parcelo {

// Address lists: folded after "," and ":".
class CFieldCodeAddress : public CFieldCodeBase {
public:
    bool IsFoldingDelimiter(unsigned char c) const override { return c == ',' || c == ':'; }
    bool QuotesDecodedSpecials() const override { return true; }
};

} // namespace parcelo
