// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/mork/MorkIdMap.h"
#include "store/mork/MorkTarget.h"

#include <QByteArray>
#include <QByteArrayView>
#include <unordered_map>
#include <vector>

namespace parcelo {

// The cells of a few columns in the rows of one scope, and the rows of one table of that
// scope in their order: what a reader of a big Mork file keeps when it needs only those. A value
// stays a position in the input, so the input must live as long as values are read.
//
// A name may be defined after cells that use it. A decision taken while a name was unknown is
// remembered, and when its token turns out to be one decided on, the file is read once more
// with all tokens known; so is it when the table holds rows of another scope.
class MorkSelection : public MorkTarget {
public:
    MorkSelection(QByteArray scope, quint32 table, std::vector<QByteArray> columns);

    bool hasTable() const { return hasTable_; }
    // The table's rows in order, as handles for rowId and value.
    const std::vector<quint32>& tableRows() const { return ordered_; }
    quint32 rowId(quint32 row) const { return ids_[row]; }
    // The row's value of the column (by its place in the constructor's list); empty if none.
    QByteArray value(quint32 row, size_t column) const;

    void begin(QByteArrayView input, const MorkNames* names) override;
    qsizetype table(MorkOid table, bool cutRows) override;
    void tableKind(MorkOid, MorkToken) override {}
    qsizetype row(MorkOid row, bool cutCells) override;
    qsizetype member(MorkOid table, bool cut) override;
    qsizetype cell(MorkToken column, quint32 valueAt, bool cut) override;
    bool finish(const MorkNames& names) override;

private:
    static constexpr quint32 kNoRow = 0xFFFFFFFF;
    struct Guess {
        MorkToken token = 0;
        quint32 names = 0;
    };

    void resolve();
    void guess(MorkToken token, quint32 unknownNames);
    bool keepsScope(MorkToken scope) const;
    bool isTable(MorkOid table) const;
    MorkToken finalToken(const MorkNames& names, size_t name) const;

    // The columns, then the scope.
    std::vector<QByteArray> names_;
    std::vector<MorkToken> tokens_;
    quint32 known_ = 0; // bit per name whose token is known
    quint32 tableId_;
    bool preset_ = false;
    std::vector<MorkToken> otherScopes_;

    const MorkNames* fileNames_ = nullptr;
    qsizetype namesSeen_ = -1;
    std::unordered_map<MorkToken, quint32> guesses_;
    Guess recent_[64];
    std::vector<MorkToken> missedScopes_;

    QByteArrayView input_;
    bool hasTable_ = false;
    MorkIdMap rows_;
    std::vector<quint32> ids_;
    std::vector<quint32> sequences_; // 0: not in the table
    std::vector<quint32> cells_;     // a position for each column of each row, 0: none
    quint32 current_ = kNoRow;
    MorkToken currentScope_ = 0;
    quint32 sequence_ = 0;
    quint32 cutBefore_ = 0; // rows added to the table up to this sequence were cut
    std::vector<quint32> ordered_;
};

} // namespace parcelo
