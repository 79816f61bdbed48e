// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/tree/FolderTreeModel.h"

#include <QTreeWidget>
#include <map>
#include <vector>

class QMenu;

namespace parcelo::ui {

// The folder tree on screen: one item per entry of the model, named by the entry's key (so an
// item never points into a rebuilt model), check boxes kept consistent by the model's
// propagation rules, item icons following expand and collapse.
class FolderTreeWidget : public QTreeWidget {
    Q_OBJECT
public:
    FolderTreeWidget(FolderTreeModel& model, QWidget* parent = nullptr);

    // Rebuilds every item from the model (check marks as the model holds them).
    void Rebuild();
    void CheckAll();
    void ClearAll();
    void SetContextMenu(QMenu* menu) { contextMenu_ = menu; }

    FolderTreeModel::Entry* EntryOf(const QTreeWidgetItem* item) const;
    QTreeWidgetItem* ItemOf(const QString& path, std::int32_t type) const;

    // Scrolls up and down as the view does; sideways only when the entry's check box or the
    // start of its text is out of sight, so that a deep entry stays in view.
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

Q_SIGNALS:
    void CheckedCountChanged(const QString& text);
    void InformationChanged(const QString& text, int image);
    void InformationIconChanged(int image);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    // An entry whose text is cut off at the pane's edge shows its tree path as a tip.
    bool viewportEvent(QEvent* event) override;

private:
    void popupAtSelection();
    QRect labelRect(QTreeWidgetItem* item);
    bool isCutOff(QTreeWidgetItem* item);
    void addItems(QTreeWidgetItem* parent, const FolderTreeModel::Entry* entry);
    // Shows the check state the model holds for these entries, then the checked count.
    void showChecks(const std::vector<TreeEntryKey>& keys);
    void onItemChanged(QTreeWidgetItem* item);
    void onExpansion(QTreeWidgetItem* item, bool expanded);
    void onCurrentChanged(QTreeWidgetItem* item);

    FolderTreeModel& model_;
    std::map<TreeEntryKey, QTreeWidgetItem*> items_;
    QMenu* contextMenu_ = nullptr;
};

} // namespace parcelo::ui
