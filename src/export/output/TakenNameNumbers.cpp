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
    const Slot* bucket = &slots_[(hash >> 1) & (kSlots - kWays)];
    for (size_t i = 0; i < kWays; ++i) {
        if (bucket[i].hash == hash)
            return bucket[i].next;
    }
    return 0;
}

void TakenNameNumbers::remember(const QString& name, int next) {
    if (slots_.empty())
        slots_.resize(kSlots);
    const quint64 hash = HashOf(name);
    Slot* bucket = &slots_[(hash >> 1) & (kSlots - kWays)];
    // The name's own slot, else an empty one, else the one that saves the fewest probes.
    Slot* target = nullptr;
    for (size_t i = 0; i < kWays; ++i) {
        if (bucket[i].hash == hash) {
            target = &bucket[i];
            break;
        }
        if (!target ||
            (target->hash != 0 && (bucket[i].hash == 0 || bucket[i].next < target->next)))
            target = &bucket[i];
    }
    // A name given out once does not push out one found taken: that one saves more probes.
    if (next <= 1 && target->hash != hash && target->next > 1)
        return;
    *target = Slot{hash, next};
}

} // namespace parcelo
