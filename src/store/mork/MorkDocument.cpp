#include "store/mork/MorkDocument.h"

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

} // namespace parcelo
