// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>
#include <vector>

namespace parcelo {

// The next number to try for the file names given out, so that the tenth message of a name
// does not probe nine names first. A fixed table, filled as names are given out: its memory
// does not grow with the run. A name whose slot other names took is probed from the start
// again: slower, never wrong. A name found taken keeps its slot against names given out once.
// Names are told apart by a 64-bit hash; should two ever share one, the second starts at the
// first's number and skips free names, never taking a used one.
class TakenNameNumbers {
public:
    bool empty() const { return slots_.empty(); }
    // 0 when nothing is remembered for the name.
    int next(const QString& name) const;
    void remember(const QString& name, int next);

    static constexpr size_t kSlots = size_t(1) << 16;
    // Slots a name may take: a few names sharing one keep their numbers.
    static constexpr size_t kWays = 4;

private:
    struct Slot {
        quint64 hash = 0; // 0: empty
        int next = 0;
    };
    static quint64 HashOf(const QString& name);

    std::vector<Slot> slots_; // made when the first name is taken
};

} // namespace parcelo
