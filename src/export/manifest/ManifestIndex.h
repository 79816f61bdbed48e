// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <functional>

namespace parcelo {

// The look-up of the list of exported messages: a hash table in a file of its own, kept on
// disk and read a few slots at a time, so that a look-up costs the same among a million
// records as among ten, and memory stays small whatever the list's length. Each slot holds
// the first eight bytes of a fingerprint and where the latest record of that fingerprint lies
// in the list's file; the caller, which reads that record, says whether it is the one asked
// for. The table is derived from the list: a table that does not cover the list as it is
// (a run that did not end, another version, damage) is made again from it.
class ManifestIndex {
public:
    ManifestIndex() = default;
    ~ManifestIndex();
    ManifestIndex(const ManifestIndex&) = delete;
    ManifestIndex& operator=(const ManifestIndex&) = delete;

    // Opens the table; false, leaving it closed, unless it is whole and was closed cleanly
    // when the list's file was logSize bytes long.
    bool openClean(const QByteArray& path, qint64 logSize);
    // Makes a new empty table with room for about that many fingerprints, in place of any.
    bool create(const QByteArray& path, qint64 expected, QString* error);
    // From now on the table may not be whole should the program end before markClean.
    bool markDirty(QString* error);
    // Flushes the table to disk and notes that it covers a list of logSize bytes.
    bool markClean(qint64 logSize, QString* error);
    void close();

    // Tells whether the record at a list offset has the fingerprint looked for.
    using Matches = std::function<bool(qint64 offset)>;
    // The offset of the fingerprint's record, -1 when it has none; false on a read error.
    bool find(quint64 key, const Matches& matches, qint64* offset, QString* error);
    // Makes the offset the fingerprint's record, growing the table as it fills.
    bool set(quint64 key, qint64 offset, const Matches& matches, QString* error);
    // Up to this many more fingerprints may come: should the table have to grow, it grows to
    // hold them all at once, so that a run that adds many moves the ones there once.
    void expect(qint64 more) { expected_ = more; }

    qint64 entries() const { return entries_; }
    qint64 slotCount() const { return slots_; }

    // The key of a fingerprint: its first eight bytes, never 0 (an empty slot).
    static quint64 keyOf(const unsigned char* fingerprint);

private:
    struct Slot {
        quint64 key = 0;
        quint64 offset = 0; // of the record, plus one
    };
    static constexpr qint64 kHeaderSize = 64;
    static constexpr qint64 kSlotSize = 16;
    static constexpr int kBlockSlots = 16; // read at once while probing

    bool readSlots(qint64 first, Slot* slots, int count, QString* error) const;
    bool writeSlot(qint64 index, const Slot& slot, QString* error);
    bool writeHeader(bool clean, qint64 logSize, QString* error);
    // Moves the fingerprints into a table of that many slots.
    bool grow(qint64 slots, QString* error);
    // Puts a slot into a table known not to hold its fingerprint.
    bool insertNew(int fd, qint64 slots, const Slot& slot, QString* error) const;

    QByteArray path_;
    int fd_ = -1;
    qint64 slots_ = 0; // a power of two
    qint64 entries_ = 0;
    qint64 expected_ = 0;
};

} // namespace parcelo
