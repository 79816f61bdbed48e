// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QtGlobal>
#include <functional>

namespace parcelo {

// A token names a column, a row scope or a table kind. A one-byte name is its byte; a longer
// name is the id its text has in the column dictionary, or, for a name no dictionary defines,
// a number above 32 bits.
using MorkToken = quint64;

struct MorkOid {
    MorkToken scope = 0;
    quint32 id = 0;
    bool operator==(const MorkOid&) const = default;
};

struct MorkOidHash {
    size_t operator()(const MorkOid& oid) const {
        return std::hash<quint64>()(oid.scope * 0x9E3779B97F4A7C15ull ^ oid.id);
    }
};

using MorkNames = QHash<QByteArray, MorkToken>;

// Weights of new objects against the input's size, so that memory stays a small multiple of it.
constexpr qsizetype kMorkRowCost = 8;
constexpr qsizetype kMorkObjectCost = 1;

// What a parse keeps of a Mork file. The parser reports the committed content in file order,
// and each call returns the weight of the new objects it stored. A value is reported as the
// position in the input where its text starts (MorkParser::text reads it).
class MorkTarget {
public:
    virtual ~MorkTarget() = default;
    // The parser's names, which grow as the file defines them.
    virtual void begin(QByteArrayView input, const MorkNames* names) = 0;
    virtual qsizetype table(MorkOid table, bool cutRows) = 0;
    virtual void tableKind(MorkOid table, MorkToken kind) = 0;
    // The row that the membership and cells reported next belong to.
    virtual qsizetype row(MorkOid row, bool cutCells) = 0;
    virtual qsizetype member(MorkOid table, bool cut) = 0;
    virtual qsizetype cell(MorkToken column, quint32 valueAt, bool cut) = 0;
    // False when the content must be read once more, now that all names are known.
    virtual bool finish(const MorkNames& names) = 0;
};

} // namespace parcelo
