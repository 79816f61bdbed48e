// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/mork/MorkTarget.h"

#include <unordered_map>
#include <vector>

namespace parcelo {

// Object ids to 32-bit values (0: none). The writer hands out the ids of a scope in sequence,
// so those of one scope sit in an array, as long as they stay near the number stored; other
// ids go to a hash.
class MorkIdMap {
public:
    explicit MorkIdMap(MorkToken denseScope = 0) : denseScope_(denseScope) {}
    // Only while the map is empty.
    void setDenseScope(MorkToken scope) { denseScope_ = scope; }
    quint32 value(MorkOid oid) const;
    // Sets a value other than 0; true when oid had none.
    bool insert(MorkOid oid, quint32 value);
    bool empty() const { return denseCount_ == 0 && sparse_.empty(); }

private:
    MorkToken denseScope_;
    std::vector<quint32> dense_;
    size_t denseCount_ = 0;
    std::unordered_map<MorkOid, quint32, MorkOidHash> sparse_;
};

} // namespace parcelo
