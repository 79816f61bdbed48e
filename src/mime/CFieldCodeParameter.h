// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "mime/CFieldCodeBase.h"

namespace parcelo {

// Values with parameters (Content-Type, Content-Disposition): folded after ";".
class CFieldCodeParameter : public CFieldCodeBase {
public:
    bool IsFoldingDelimiter(unsigned char c) const override { return c == ';'; }
};

} // namespace parcelo
