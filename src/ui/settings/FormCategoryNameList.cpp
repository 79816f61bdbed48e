// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/settings/FormCategoryNameList.h"

#include "app/CParceloApp.h"
#include "mime/NameList.h"
#include "platform/ProductInfo.h"
#include "ui/settings/NameListModel.h"

#include <QButtonGroup>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QVBoxLayout>

namespace parcelo {

namespace {

// The column leaves this much of the list's width free.
constexpr int kColumnInset = 26;

} // namespace

FormCategoryNameList::FormCategoryNameList(const Texts& texts, CParceloApp& app, int& mode,
                                           QStringList& names, QString listFile, int category,
                                           QWidget* parent)
    : FormCategoryPage(category, parent), texts_(texts), app_(app), mode_(mode), names_(names),
      listFile_(std::move(listFile)) {
    auto* group = new QGroupBox(texts.group, this);
    all_ = new QRadioButton(QStringLiteral("All"), group);
    some_ = new QRadioButton(QStringLiteral("Some:"), group);
    none_ = new QRadioButton(QStringLiteral("None"), group);
    auto* modes = new QButtonGroup(this);
    modes->addButton(all_, 2);
    modes->addButton(some_, 1);
    modes->addButton(none_, 0);

    model_ = new NameListModel(names_, texts.column, this);
    view_ = new QTableView(group);
    view_->setModel(model_);
    view_->setShowGrid(true);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->verticalHeader()->hide();
    view_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    view_->horizontalHeader()->setHighlightSections(false);
    view_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    view_->verticalHeader()->setDefaultSectionSize(view_->fontMetrics().height() + 6);
    if (!texts.selectionAlwaysShown) {
        QPalette palette = view_->palette();
        palette.setColor(QPalette::Inactive, QPalette::Highlight,
                         palette.color(QPalette::Inactive, QPalette::Base));
        palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                         palette.color(QPalette::Inactive, QPalette::Text));
        view_->setPalette(palette);
    }

    // Wide enough for the column's title beside a vertical scroll bar.
    view_->setMinimumWidth(view_->horizontalHeader()->sectionSizeHint(0) + kColumnInset +
                           2 * view_->frameWidth() +
                           view_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, view_));

    nameBox_ = new QLineEdit(group);
    add_ = new QPushButton(QStringLiteral("Add"), group);
    update_ = new QPushButton(QStringLiteral("Update"), group);
    remove_ = new QPushButton(QStringLiteral("Remove"), group);
    for (QPushButton* button : {add_, update_, remove_})
        button->setAutoDefault(false);

    auto* modeRow = new QHBoxLayout;
    modeRow->addWidget(all_);
    modeRow->addWidget(some_);
    modeRow->addWidget(none_);
    modeRow->addStretch();
    auto* editRow = new QHBoxLayout;
    editRow->addWidget(nameBox_, 1);
    editRow->addWidget(add_);
    editRow->addWidget(update_);
    editRow->addWidget(remove_);
    auto* layout = new QVBoxLayout(group);
    layout->addLayout(modeRow);
    layout->addWidget(view_, 1);
    layout->addLayout(editRow);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(group);

    setMode(mode_ == 2 ? 2 : mode_ == 1 ? 1 : 0);
    connect(modes, &QButtonGroup::idClicked, this, &FormCategoryNameList::setMode);
    connect(add_, &QPushButton::clicked, this, &FormCategoryNameList::onAdd);
    connect(update_, &QPushButton::clicked, this, &FormCategoryNameList::onUpdate);
    connect(remove_, &QPushButton::clicked, this, &FormCategoryNameList::onRemove);
    connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &FormCategoryNameList::updateButtons);
    connect(model_, &QAbstractItemModel::modelReset, this, &FormCategoryNameList::updateButtons);
    updateButtons();
    TrackInput();
}

int FormCategoryNameList::CheckedMode() const {
    return all_->isChecked() ? 2 : some_->isChecked() ? 1 : 0;
}

void FormCategoryNameList::ApplyPage() {
    if (!SaveNameList(names_, listFile_))
        QMessageBox::warning(this, kProductName,
                             QStringLiteral("The list could not be saved to %1.")
                                 .arg(QDir::toNativeSeparators(listFile_)));
    mode_ = CheckedMode();
    app_.WriteSettings(texts_.moment);
}

void FormCategoryNameList::ResetPage() {
    setMode(2);
}

void FormCategoryNameList::setMode(int mode) {
    all_->setChecked(mode == 2);
    some_->setChecked(mode == 1);
    none_->setChecked(mode != 1 && mode != 2);
    view_->setEnabled(mode == 1);
}

void FormCategoryNameList::onAdd() {
    const QString name = nameBox_->text();
    if (name.isEmpty() || names_.contains(name, Qt::CaseSensitive))
        return;
    names_.append(name);
    model_->Refresh();
}

void FormCategoryNameList::onUpdate() {
    const QString name = nameBox_->text();
    const int row = firstSelectedRow();
    if (name.isEmpty() || row < 0)
        return;
    names_[row] = name;
    model_->Refresh();
}

void FormCategoryNameList::onRemove() {
    const int row = firstSelectedRow();
    if (row < 0)
        return;
    names_.removeAt(row);
    model_->Refresh();
}

int FormCategoryNameList::firstSelectedRow() const {
    const QModelIndexList rows = view_->selectionModel()->selectedRows();
    int first = -1;
    for (const QModelIndex& index : rows)
        if (first < 0 || index.row() < first)
            first = index.row();
    return first < names_.size() ? first : -1;
}

void FormCategoryNameList::updateButtons() {
    const bool one = view_->selectionModel()->selectedRows().size() == 1;
    update_->setEnabled(one);
    remove_->setEnabled(one);
}

void FormCategoryNameList::fitColumn() {
    view_->setColumnWidth(0, std::max(40, view_->viewport()->width() - kColumnInset));
}

void FormCategoryNameList::resizeEvent(QResizeEvent* event) {
    FormCategoryPage::resizeEvent(event);
    fitColumn();
}

void FormCategoryNameList::showEvent(QShowEvent* event) {
    FormCategoryPage::showEvent(event);
    fitColumn();
}

} // namespace parcelo
