// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/mork/MorkSelection.h"

#include "store/mork/MorkParser.h"

#include <algorithm>

namespace parcelo {

MorkSelection::MorkSelection(QByteArray scope, quint32 table, std::vector<QByteArray> columns)
    : names_(std::move(columns)), tableId_(table) {
    names_.push_back(std::move(scope));
    Q_ASSERT(names_.size() < 32);
    tokens_.assign(names_.size(), 0);
}

QByteArray MorkSelection::value(quint32 row, size_t column) const {
    const quint32 at = cells_[size_t(row) * (names_.size() - 1) + column];
    return at ? MorkParser::text(input_, at) : QByteArray();
}

void MorkSelection::begin(QByteArrayView input, const MorkNames* names) {
    input_ = input;
    fileNames_ = names;
    namesSeen_ = -1;
    guesses_.clear();
    std::fill(std::begin(recent_), std::end(recent_), Guess());
    missedScopes_.clear();
    hasTable_ = false;
    rows_ = MorkIdMap();
    ids_.clear();
    sequences_.clear();
    cells_.clear();
    current_ = kNoRow;
    sequence_ = 0;
    cutBefore_ = 0;
    ordered_.clear();
    if (!preset_) {
        known_ = 0;
        for (size_t i = 0; i < names_.size(); ++i) {
            tokens_[i] = names_[i].size() == 1 ? MorkToken(uchar(names_[i].front())) : 0;
            if (names_[i].size() == 1)
                known_ |= 1u << i;
        }
    }
}

// Tokens of names the file has defined since the last look; a token, once given, stays.
void MorkSelection::resolve() {
    if (fileNames_->size() == namesSeen_)
        return;
    namesSeen_ = fileNames_->size();
    for (size_t i = 0; i < names_.size(); ++i) {
        if (known_ & (1u << i))
            continue;
        const auto it = fileNames_->constFind(names_[i]);
        if (it != fileNames_->constEnd()) {
            tokens_[i] = it.value();
            known_ |= 1u << i;
        }
    }
}

void MorkSelection::guess(MorkToken token, quint32 unknownNames) {
    Guess& recent = recent_[token % 64];
    if (recent.token == token && (recent.names & unknownNames) == unknownNames)
        return;
    quint32& names = guesses_[token];
    names |= unknownNames;
    recent = {token, names};
}

bool MorkSelection::keepsScope(MorkToken scope) const {
    const size_t s = names_.size() - 1;
    if ((known_ & (1u << s)) && tokens_[s] != 0 && tokens_[s] == scope)
        return true;
    return std::find(otherScopes_.begin(), otherScopes_.end(), scope) != otherScopes_.end();
}

bool MorkSelection::isTable(MorkOid table) const {
    const size_t s = names_.size() - 1;
    return (known_ & (1u << s)) && tokens_[s] != 0 && table == MorkOid{tokens_[s], tableId_};
}

qsizetype MorkSelection::table(MorkOid table, bool cutRows) {
    resolve();
    const quint32 scopeBit = 1u << (names_.size() - 1);
    if (!(known_ & scopeBit))
        guess(table.scope, scopeBit);
    if (!isTable(table))
        return 0;
    const bool added = !hasTable_;
    hasTable_ = true;
    if (cutRows)
        cutBefore_ = sequence_;
    return added ? kMorkRowCost : 0;
}

qsizetype MorkSelection::row(MorkOid row, bool cutCells) {
    resolve();
    current_ = kNoRow;
    currentScope_ = row.scope;
    if (!keepsScope(row.scope)) {
        const quint32 scopeBit = 1u << (names_.size() - 1);
        if (!(known_ & scopeBit))
            guess(row.scope, scopeBit);
        return 0;
    }
    if (rows_.empty())
        rows_.setDenseScope(row.scope);
    const size_t columns = names_.size() - 1;
    quint32 index = rows_.value(row);
    const bool added = index == 0;
    if (added) {
        index = quint32(ids_.size() + 1);
        rows_.insert(row, index);
        ids_.push_back(row.id);
        sequences_.push_back(0);
        cells_.resize(cells_.size() + columns, 0);
    }
    current_ = index - 1;
    if (cutCells)
        std::fill_n(cells_.begin() + qsizetype(size_t(current_) * columns), columns, 0);
    return added ? kMorkRowCost : 0;
}

qsizetype MorkSelection::member(MorkOid table, bool cut) {
    if (!isTable(table))
        return 0;
    if (current_ == kNoRow) {
        if (std::find(missedScopes_.begin(), missedScopes_.end(), currentScope_) ==
            missedScopes_.end())
            missedScopes_.push_back(currentScope_);
        return 0;
    }
    quint32& sequence = sequences_[current_];
    if (cut) {
        sequence = 0;
        return 0;
    }
    if (sequence > cutBefore_)
        return 0;
    sequence = ++sequence_;
    return kMorkObjectCost;
}

qsizetype MorkSelection::cell(MorkToken column, quint32 valueAt, bool cut) {
    if (current_ == kNoRow)
        return 0;
    resolve();
    const size_t columns = names_.size() - 1;
    const quint32 unknown = ~known_ & ((1u << columns) - 1);
    if (unknown)
        guess(column, unknown);
    bool added = false;
    quint32* cells = cells_.data() + size_t(current_) * columns;
    for (size_t i = 0; i < columns; ++i) {
        if (!(known_ & (1u << i)) || tokens_[i] != column || column == 0)
            continue;
        added = added || cells[i] == 0;
        cells[i] = cut ? 0 : valueAt;
    }
    return added && !cut ? kMorkObjectCost : 0;
}

MorkToken MorkSelection::finalToken(const MorkNames& names, size_t name) const {
    if (names_[name].size() == 1)
        return MorkToken(uchar(names_[name].front()));
    return names.value(names_[name], 0);
}

bool MorkSelection::finish(const MorkNames& names) {
    bool again = false;
    if (!preset_) {
        for (size_t i = 0; i < names_.size(); ++i) {
            const MorkToken token = finalToken(names, i);
            const auto it = guesses_.find(token);
            if (token != 0 && it != guesses_.end() && (it->second & (1u << i)))
                again = true;
        }
    }
    for (MorkToken scope : missedScopes_) {
        otherScopes_.push_back(scope);
        again = true;
    }
    if (again) {
        preset_ = true;
        known_ = (1u << names_.size()) - 1;
        for (size_t i = 0; i < names_.size(); ++i)
            tokens_[i] = finalToken(names, i);
        return false;
    }
    guesses_.clear();
    std::vector<std::pair<quint32, quint32>> members;
    for (quint32 row = 0; row < sequences_.size(); ++row)
        if (sequences_[row] > cutBefore_)
            members.emplace_back(sequences_[row], row);
    std::sort(members.begin(), members.end());
    ordered_.clear();
    ordered_.reserve(members.size());
    for (const auto& member : members)
        ordered_.push_back(member.second);
    sequences_ = {};
    return true;
}

} // namespace parcelo
