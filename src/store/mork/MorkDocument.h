// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/mork/MorkTarget.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QtGlobal>
#include <map>
#include <unordered_map>
#include <vector>

namespace parcelo {

struct MorkRow {
    std::map<MorkToken, QByteArray> cells;
    // The cell's value, or null when the row has no such column.
    const QByteArray* value(MorkToken column) const;
};

struct MorkTable {
    MorkToken kind = 0;
    std::vector<MorkOid> rows; // in the order they were first added, each once
};

// The whole content of a Mork file after every committed change: rows with the cells they hold
// last, tables with the rows they hold last.
class MorkDocument : public MorkTarget {
public:
    // Token of a column, scope or kind name; 0 when the file never names it.
    MorkToken token(QByteArrayView name) const;
    const MorkTable* table(MorkOid oid) const;
    const MorkRow* row(MorkOid oid) const;
    const std::unordered_map<MorkOid, MorkTable, MorkOidHash>& tables() const { return tables_; }

    void begin(QByteArrayView input, const MorkNames* names) override;
    qsizetype table(MorkOid table, bool cutRows) override;
    void tableKind(MorkOid table, MorkToken kind) override;
    qsizetype row(MorkOid row, bool cutCells) override;
    qsizetype member(MorkOid table, bool cut) override;
    qsizetype cell(MorkToken column, quint32 valueAt, bool cut) override;
    bool finish(const MorkNames& names) override;

private:
    MorkNames names_;
    std::unordered_map<MorkOid, MorkRow, MorkOidHash> rows_;
    std::unordered_map<MorkOid, MorkTable, MorkOidHash> tables_;
    QByteArrayView input_;
    MorkOid currentOid_;
    MorkRow* current_ = nullptr;
    quint64 sequence_ = 0;
    // Rows of each table with the order they were added in; cuts erase them.
    std::unordered_map<MorkOid, std::unordered_map<MorkOid, quint64, MorkOidHash>, MorkOidHash>
        members_;
};

} // namespace parcelo
