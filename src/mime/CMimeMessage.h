// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "mime/CMimeBody.h"

namespace parcelo {

// A whole message; the parts made while parsing are plain CMimeBody objects.
class CMimeMessage : public CMimeBody {
public:
    ~CMimeMessage() override = default;
};

} // namespace parcelo
