// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/mork/MorkDocument.h"

#include "store/mork/MorkParser.h"

#include <algorithm>

namespace parcelo {

const QByteArray* MorkRow::value(MorkToken column) const {
    const auto it = cells.find(column);
    return it == cells.end() ? nullptr : &it->second;
}

MorkToken MorkDocument::token(QByteArrayView name) const {
    if (name.size() == 1)
        return MorkToken(uchar(name.front()));
    return names_.value(name.toByteArray(), 0);
}

const MorkTable* MorkDocument::table(MorkOid oid) const {
    const auto it = tables_.find(oid);
    return it == tables_.end() ? nullptr : &it->second;
}

const MorkRow* MorkDocument::row(MorkOid oid) const {
    const auto it = rows_.find(oid);
    return it == rows_.end() ? nullptr : &it->second;
}

void MorkDocument::begin(QByteArrayView input, const MorkNames*) {
    input_ = input;
}

qsizetype MorkDocument::table(MorkOid table, bool cutRows) {
    const bool added = tables_.try_emplace(table).second;
    if (cutRows)
        members_[table].clear();
    return added ? kMorkRowCost : 0;
}

void MorkDocument::tableKind(MorkOid table, MorkToken kind) {
    tables_[table].kind = kind;
}

qsizetype MorkDocument::row(MorkOid row, bool cutCells) {
    auto [it, added] = rows_.try_emplace(row);
    currentOid_ = row;
    current_ = &it->second;
    if (cutCells)
        current_->cells.clear();
    return added ? kMorkRowCost : 0;
}

qsizetype MorkDocument::member(MorkOid table, bool cut) {
    auto& members = members_[table];
    if (cut) {
        members.erase(currentOid_);
        return 0;
    }
    if (!members.try_emplace(currentOid_, sequence_).second)
        return 0;
    ++sequence_;
    return kMorkObjectCost;
}

qsizetype MorkDocument::cell(MorkToken column, quint32 valueAt, bool cut) {
    if (cut) {
        current_->cells.erase(column);
        return 0;
    }
    const bool added =
        current_->cells.insert_or_assign(column, MorkParser::text(input_, valueAt)).second;
    return added ? kMorkObjectCost : 0;
}

bool MorkDocument::finish(const MorkNames& names) {
    names_ = names;
    for (auto& [oid, members] : members_) {
        std::vector<std::pair<quint64, MorkOid>> ordered;
        ordered.reserve(members.size());
        for (const auto& [row, sequence] : members)
            ordered.emplace_back(sequence, row);
        std::sort(ordered.begin(), ordered.end(),
                  [](const auto& a, const auto& b) { return a.first < b.first; });
        auto& rows = tables_[oid].rows;
        rows.clear();
        for (const auto& entry : ordered)
            rows.push_back(entry.second);
    }
    members_.clear();
    current_ = nullptr;
    input_ = {};
    return true;
}

} // namespace parcelo
