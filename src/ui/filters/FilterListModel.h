// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "filters/FilterState.h"

#include <QAbstractTableModel>

namespace parcelo::ui {

// The filter list as the list view sees it: no copy of its own, rows read from the
// application's filter set on demand.
class FilterListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit FilterListModel(FilterState& filters, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    // After the list changed: rows added or removed at the end, every row redrawn; the
    // selection of rows that still exist stays.
    void Refresh();

private:
    FilterState& filters_;
    int shownRows_ = 0;
};

} // namespace parcelo::ui
