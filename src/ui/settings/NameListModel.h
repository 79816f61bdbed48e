// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractTableModel>
#include <QStringList>

namespace parcelo {

// One column over a name list the application owns; rows are read from the list on demand.
class NameListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    NameListModel(QStringList& names, QString title, QObject* parent);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    QStringList& Names() { return names_; }
    // Tells the views that the list changed under them.
    void Refresh();

private:
    QStringList& names_;
    QString title_;
};

} // namespace parcelo
