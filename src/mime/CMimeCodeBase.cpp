// SPDX-License-Identifier: GPL-3.0-or-later
#include "mime/CMimeCodeBase.h"

namespace parcelo {

std::size_t CMimeCodeBase::Encode(std::string& out) {
    out.append(m_input);
    return m_input.size();
}

std::size_t CMimeCodeBase::Decode(std::string& out) {
    out.append(m_input);
    return m_input.size();
}

} // namespace parcelo
