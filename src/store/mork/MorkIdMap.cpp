// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/mork/MorkIdMap.h"

namespace parcelo {

namespace {

constexpr size_t kDenseSlack = 4096;

} // namespace

quint32 MorkIdMap::value(MorkOid oid) const {
    if (oid.scope == denseScope_ && oid.id < dense_.size() && dense_[oid.id] != 0)
        return dense_[oid.id];
    if (sparse_.empty())
        return 0;
    const auto it = sparse_.find(oid);
    return it == sparse_.end() ? 0 : it->second;
}

bool MorkIdMap::insert(MorkOid oid, quint32 value) {
    if (oid.scope == denseScope_ && oid.id < 2 * denseCount_ + kDenseSlack) {
        if (oid.id >= dense_.size())
            dense_.resize(size_t(oid.id) + 1);
        quint32& slot = dense_[oid.id];
        bool added = slot == 0;
        // An id stored before the array reached it moves into the array.
        if (added && !sparse_.empty())
            added = sparse_.erase(oid) == 0;
        if (slot == 0)
            ++denseCount_;
        slot = value;
        return added;
    }
    const auto [it, added] = sparse_.insert_or_assign(oid, value);
    return added;
}

} // namespace parcelo
