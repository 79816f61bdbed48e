// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/filters/FilterListModel.h"

#include "ui/filters/FilterRowTexts.h"

#include <QBrush>
#include <QColor>

namespace parcelo::ui {

FilterListModel::FilterListModel(FilterState& filters, QObject* parent)
    : QAbstractTableModel(parent), filters_(filters), shownRows_(int(filters.items.size())) {}

int FilterListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : shownRows_;
}

int FilterListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 3;
}

QVariant FilterListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= filters_.items.size())
        return {};
    const STR_FILTER_ITEM& filter = filters_.items[index.row()];
    if (role == Qt::DisplayRole)
        return FilterRowText(filter, index.column());
    if (role == Qt::ForegroundRole) {
        if (filters_.suspended())
            return QBrush(QColor(192, 192, 192));
        return QBrush(filter.MatchCase == 1 ? QColor(0, 0, 255) : QColor(0, 0, 0));
    }
    return {};
}

void FilterListModel::Refresh() {
    const int count = int(filters_.items.size());
    if (count > shownRows_) {
        beginInsertRows({}, shownRows_, count - 1);
        shownRows_ = count;
        endInsertRows();
    } else if (count < shownRows_) {
        beginRemoveRows({}, count, shownRows_ - 1);
        shownRows_ = count;
        endRemoveRows();
    }
    if (count > 0)
        Q_EMIT dataChanged(index(0, 0), index(count - 1, 2));
}

} // namespace parcelo::ui
