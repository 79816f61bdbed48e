#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QtGlobal>
#include <map>
#include <unordered_map>
#include <vector>

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

struct MorkRow {
    std::map<MorkToken, QByteArray> cells;
    // The cell's value, or null when the row has no such column.
    const QByteArray* value(MorkToken column) const;
};

struct MorkTable {
    MorkToken kind = 0;
    std::vector<MorkOid> rows; // in the order they were first added, each once
};

// The content of a Mork file after every committed change: rows with the cells they hold last,
// tables with the rows they hold last.
class MorkDocument {
public:
    // Token of a column, scope or kind name; 0 when the file never names it.
    MorkToken token(QByteArrayView name) const;
    const MorkTable* table(MorkOid oid) const;
    const MorkRow* row(MorkOid oid) const;
    const std::unordered_map<MorkOid, MorkTable, MorkOidHash>& tables() const { return tables_; }

private:
    friend class MorkParser;
    QHash<QByteArray, MorkToken> names_;
    std::unordered_map<MorkOid, QByteArray, MorkOidHash> atoms_;
    std::unordered_map<MorkOid, MorkRow, MorkOidHash> rows_;
    std::unordered_map<MorkOid, MorkTable, MorkOidHash> tables_;
};

} // namespace parcelo
