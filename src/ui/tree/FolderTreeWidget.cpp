// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/tree/FolderTreeWidget.h"

#include "ui/tree/TreeIcons.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QToolTip>
#include <QTreeWidgetItemIterator>

namespace parcelo::ui {

namespace {

constexpr int kFolderIdRole = Qt::UserRole + 1;
constexpr int kTypeRole = Qt::UserRole + 2;

Qt::CheckState checkState(bool checked) {
    return checked ? Qt::Checked : Qt::Unchecked;
}

// A deep tree path on lines no wider than `width`, each ending at a backslash.
QString wrappedPath(const QString& path, const QFontMetrics& metrics, int width) {
    const QStringList names = path.split(QLatin1Char('\\'));
    QString wrapped;
    QString line = names.front();
    for (qsizetype i = 1; i < names.size(); ++i) {
        const QString longer = line + QLatin1Char('\\') + names[i];
        if (metrics.horizontalAdvance(longer) > width) {
            wrapped += line + QStringLiteral("\\\n");
            line = names[i];
        } else {
            line = longer;
        }
    }
    return wrapped + line;
}

} // namespace

FolderTreeWidget::FolderTreeWidget(FolderTreeModel& model, QWidget* parent)
    : QTreeWidget(parent), model_(model) {
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setDragEnabled(false);
    // Deep entries and long names reach past the pane's edge: the column is as wide as its
    // widest entry and the tree scrolls sideways.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setIconSize(QSize(16, 16));
    setUniformRowHeights(true);
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    connect(this, &QTreeWidget::itemChanged, this, &FolderTreeWidget::onItemChanged);
    connect(this, &QTreeWidget::itemExpanded, this,
            [this](QTreeWidgetItem* item) { onExpansion(item, true); });
    connect(this, &QTreeWidget::itemCollapsed, this,
            [this](QTreeWidgetItem* item) { onExpansion(item, false); });
    connect(this, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current) { onCurrentChanged(current); });
}

void FolderTreeWidget::Rebuild() {
    {
        const QSignalBlocker blocker(this);
        clear();
        items_.clear();
        if (const FolderTreeModel::Entry* root = model_.Root()) {
            addItems(nullptr, root);
            QTreeWidgetItem* top = topLevelItem(0);
            top->setExpanded(root->Expanded);
        }
    }
    Q_EMIT CheckedCountChanged(model_.CheckedCountText());
    onCurrentChanged(currentItem());
}

void FolderTreeWidget::addItems(QTreeWidgetItem* parent, const FolderTreeModel::Entry* entry) {
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
    item->setText(0, entry->Text);
    item->setIcon(0, TreeIcon(entry->Image));
    const TreeEntryKey key = entry->Key();
    item->setData(0, kFolderIdRole, QVariant::fromValue(key.FolderId));
    item->setData(0, kTypeRole, key.Type);
    items_[key] = item;
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(0, checkState(entry->Checked));
    for (const auto& child : entry->Children)
        addItems(item, child.get());
}

FolderTreeModel::Entry* FolderTreeWidget::EntryOf(const QTreeWidgetItem* item) const {
    if (!item)
        return nullptr;
    return model_.FindEntry(TreeEntryKey{item->data(0, kFolderIdRole).value<StoreFolderId>(),
                                         item->data(0, kTypeRole).toInt()});
}

QTreeWidgetItem* FolderTreeWidget::ItemOf(const QString& path, std::int32_t type) const {
    for (QTreeWidgetItemIterator it(const_cast<FolderTreeWidget*>(this)); *it; ++it) {
        const FolderTreeModel::Entry* entry = EntryOf(*it);
        if (entry && entry->Record.Type == type && entry->Record.Path == path)
            return *it;
    }
    return nullptr;
}

void FolderTreeWidget::scrollTo(const QModelIndex& index, ScrollHint hint) {
    // The view itself scrolls to the column's start whenever the column is wider than the
    // pane, which would take a deep entry out of sight just as it is clicked.
    QScrollBar* sideways = horizontalScrollBar();
    const int offset = sideways->value();
    QTreeWidget::scrollTo(index, hint);
    sideways->setValue(offset);
    QTreeWidgetItem* item = itemFromIndex(index);
    if (!item)
        return;
    const int start = visualRect(index).left() - indentation();
    const int textStart = labelRect(item).left() + 4 * fontMetrics().averageCharWidth();
    if (start < 0 || textStart > viewport()->width())
        sideways->setValue(offset + start);
}

bool FolderTreeWidget::viewportEvent(QEvent* event) {
    if (event->type() != QEvent::ToolTip)
        return QTreeWidget::viewportEvent(event);
    const auto* help = static_cast<QHelpEvent*>(event);
    QTreeWidgetItem* item = itemAt(help->pos());
    const FolderTreeModel::Entry* entry = EntryOf(item);
    if (entry && isCutOff(item))
        QToolTip::showText(help->globalPos(),
                           wrappedPath(entry->Record.Path, QFontMetrics(QToolTip::font()),
                                       screen()->availableGeometry().width() / 2),
                           viewport(), visualItemRect(item));
    else
        QToolTip::hideText();
    return true;
}

bool FolderTreeWidget::isCutOff(QTreeWidgetItem* item) {
    const QRect label = labelRect(item);
    const int shownRight = std::min(label.left() + label.width(), viewport()->width());
    return label.left() < 0 ||
           label.left() + fontMetrics().horizontalAdvance(item->text(0)) > shownRight;
}

void FolderTreeWidget::showChecks(const std::vector<TreeEntryKey>& keys) {
    {
        const QSignalBlocker blocker(this);
        for (const TreeEntryKey& key : keys) {
            const auto item = items_.find(key);
            const FolderTreeModel::Entry* entry = model_.FindEntry(key);
            if (item != items_.end() && entry)
                item->second->setCheckState(0, checkState(entry->Checked));
        }
    }
    Q_EMIT CheckedCountChanged(model_.CheckedCountText());
}

void FolderTreeWidget::onItemChanged(QTreeWidgetItem* item) {
    FolderTreeModel::Entry* entry = EntryOf(item);
    if (!entry || (item->checkState(0) == Qt::Checked) == entry->Checked)
        return;
    // The view has flipped the box; the model decides what that means for the whole tree
    // (and refuses while an export runs, so the box is put back).
    const TreeEntryKey key = entry->Key();
    std::vector<TreeEntryKey> changed = model_.OnCheckToggle(key);
    changed.push_back(key);
    showChecks(changed);
}

void FolderTreeWidget::CheckAll() {
    showChecks(model_.CheckAll());
}

void FolderTreeWidget::ClearAll() {
    showChecks(model_.ClearAll());
}

void FolderTreeWidget::onExpansion(QTreeWidgetItem* item, bool expanded) {
    FolderTreeModel::Entry* entry = EntryOf(item);
    if (!entry)
        return;
    model_.SetExpanded(entry, expanded);
    if (entry->Record.Type != kTreeFolder)
        return;
    const QSignalBlocker blocker(this);
    item->setIcon(0, TreeIcon(entry->Image));
    Q_EMIT InformationIconChanged(entry->Image);
}

void FolderTreeWidget::onCurrentChanged(QTreeWidgetItem* item) {
    const FolderTreeModel::Entry* entry = EntryOf(item);
    if (!entry) {
        Q_EMIT InformationChanged(QString(), -1);
        return;
    }
    Q_EMIT InformationChanged(FolderTreeModel::EntryStatisticsText(entry),
                              FolderTreeModel::EntryStatisticsImage(entry));
}

void FolderTreeWidget::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
    if (!contextMenu_)
        return;
    if (event->reason() != QContextMenuEvent::Mouse) {
        popupAtSelection();
        return;
    }
    setFocus(Qt::MouseFocusReason);
    if (QTreeWidgetItem* item = itemAt(event->pos()))
        setCurrentItem(item);
    contextMenu_->popup(event->globalPos());
}

void FolderTreeWidget::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) {
        event->accept();
        popupAtSelection();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

// From the keyboard: at the top left of the selected entry's label, the selection unchanged.
void FolderTreeWidget::popupAtSelection() {
    if (!contextMenu_)
        return;
    QPoint at = viewport()->mapToGlobal(QPoint(0, 0));
    if (QTreeWidgetItem* item = currentItem())
        at = viewport()->mapToGlobal(labelRect(item).topLeft());
    contextMenu_->popup(at);
}

// Where the style draws the entry's text, past its check box and icon.
QRect FolderTreeWidget::labelRect(QTreeWidgetItem* item) {
    const QModelIndex index = indexFromItem(item);
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = visualRect(index);
    option.features |= QStyleOptionViewItem::HasDisplay | QStyleOptionViewItem::HasCheckIndicator;
    option.text = item->text(0);
    option.checkState = item->checkState(0);
    option.icon = item->icon(0);
    if (!option.icon.isNull())
        option.features |= QStyleOptionViewItem::HasDecoration;
    option.decorationSize = iconSize().isValid() ? iconSize() : option.decorationSize;
    return style()->subElementRect(QStyle::SE_ItemViewItemText, &option, this);
}

} // namespace parcelo::ui
