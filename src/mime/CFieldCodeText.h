// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "mime/CFieldCodeBase.h"

namespace parcelo {

// Unstructured text (Subject, Comments, Content-Description): the whole value is one symbol.
class CFieldCodeText : public CFieldCodeBase {
public:
    unsigned char InitialCloser() const override { return 255; }
};

} // namespace parcelo
