// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/settings/NameListModel.h"

namespace parcelo {

NameListModel::NameListModel(QStringList& names, QString title, QObject* parent)
    : QAbstractTableModel(parent), names_(names), title_(std::move(title)) {}

int NameListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(names_.size());
}

int NameListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 1;
}

QVariant NameListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= names_.size())
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return names_.at(index.row());
    return {};
}

QVariant NameListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && section == 0 && role == Qt::DisplayRole)
        return title_;
    return QAbstractTableModel::headerData(section, orientation, role);
}

void NameListModel::Refresh() {
    beginResetModel();
    endResetModel();
}

} // namespace parcelo
