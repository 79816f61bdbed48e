// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/output/TakenNameNumbers.h"

#include <QHash>

namespace parcelo {

quint64 TakenNameNumbers::HashOf(const QString& name) {
    // Never 0, which marks an empty slot.
    return quint64(qHash(QStringView(name), size_t(0x9E3779B97F4A7C15ull))) | 1;
}

int TakenNameNumbers::next(const QString& name) const {
    if (slots_.empty())
        return 0;
    const quint64 hash = HashOf(name);
    const Slot& slot = slots_[hash & (kSlots - 1)];
    return slot.hash == hash ? slot.next : 0;
}

void TakenNameNumbers::remember(const QString& name, int next) {
    if (slots_.empty())
        slots_.resize(kSlots);
    const quint64 hash = HashOf(name);
    Slot& slot = slots_[hash & (kSlots - 1)];
    // A name given out once does not push out one found taken: that one saves more probes.
    if (next <= 1 && slot.hash != hash && slot.next > 1)
        return;
    slot = Slot{hash, next};
}

} // namespace parcelo
