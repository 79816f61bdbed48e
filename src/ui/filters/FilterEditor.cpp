// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/filters/FilterEditor.h"

#include "filters/FilterCodes.h"
#include "filters/FilterRegExp.h"
#include "filters/FindFilter.h"
#include "platform/LocaleFormats.h"
#include "ui/controls/CRichEditCtrlEx.h"
#include "ui/controls/MessageBox.h"
#include "ui/filters/FilterListModel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTableView>

namespace parcelo::ui {

namespace {

QPushButton* button(const QString& text, QWidget* parent) {
    auto* result = new QPushButton(text, parent);
    result->setFlat(false);
    result->setAutoDefault(false);
    return result;
}

QComboBox* dropDown(QWidget* parent) {
    auto* result = new QComboBox(parent);
    result->setMaxVisibleItems(10);
    return result;
}

} // namespace

FilterEditor::FilterEditor(FilterState& filters, QWidget* parent)
    : QObject(parent), filters_(filters), model_(new FilterListModel(filters, this)) {
    c_.filtersGroup = new QGroupBox(QStringLiteral("Filters"), parent);
    c_.composeGroup = new QGroupBox(QStringLiteral("Add New / Update Selected Filter"), parent);
    c_.field = dropDown(parent);
    c_.field->addItems(CriteriaLabels());
    c_.op = dropDown(parent);
    c_.caseSensitive = new QCheckBox(QStringLiteral("Case Sensitive"), parent);
    c_.size = new QLineEdit(parent);
    c_.size->setAlignment(Qt::AlignRight);
    c_.size->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,9}")), c_.size));
    c_.valueList = dropDown(parent);
    c_.date = new QDateEdit(QDate::currentDate(), parent);
    c_.date->setCalendarPopup(true);
    c_.date->setDisplayFormat(LocaleFormats::current().dateFormat());
    c_.update = button(QStringLiteral("Update"), parent);
    c_.add = button(QStringLiteral("Add"), parent);
    c_.list = new QTableView(parent);
    c_.list->setModel(model_);
    c_.list->horizontalHeader()->hide();
    c_.list->verticalHeader()->hide();
    c_.list->setShowGrid(true);
    c_.list->setSelectionBehavior(QAbstractItemView::SelectRows);
    c_.list->setSelectionMode(QAbstractItemView::SingleSelection);
    c_.list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    c_.list->setWordWrap(false);
    c_.list->verticalHeader()->setDefaultSectionSize(c_.list->fontMetrics().height() + 4);
    // The selection stays visible when the list loses the focus.
    QPalette palette = c_.list->palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight,
                     palette.color(QPalette::Active, QPalette::Highlight));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     palette.color(QPalette::Active, QPalette::HighlightedText));
    c_.list->setPalette(palette);
    c_.edit = button(QStringLiteral("Edit"), parent);
    c_.remove = button(QStringLiteral("Remove"), parent);
    c_.moveUp = button(QStringLiteral("Move Up"), parent);
    c_.moveDown = button(QStringLiteral("Move Down"), parent);
    c_.text = new CRichEditCtrlEx(parent);

    connect(c_.field, &QComboBox::currentIndexChanged, this, [this] { OnFieldChange(); });
    connect(c_.add, &QPushButton::clicked, this, &FilterEditor::OnAdd);
    connect(c_.update, &QPushButton::clicked, this, &FilterEditor::OnUpdate);
    connect(c_.edit, &QPushButton::clicked, this, &FilterEditor::OnEdit);
    connect(c_.remove, &QPushButton::clicked, this, &FilterEditor::OnRemove);
    connect(c_.moveUp, &QPushButton::clicked, this, &FilterEditor::OnMoveUp);
    connect(c_.moveDown, &QPushButton::clicked, this, &FilterEditor::OnMoveDown);
    connect(c_.list->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        // Moving to another row goes through no row selected, so in mode All, where the move
        // buttons keep their state, a new row never finds them enabled.
        c_.moveUp->setEnabled(false);
        c_.moveDown->setEnabled(false);
        UpdateFilterButtons();
    });

    c_.field->setCurrentIndex(CriteriaSender);
    OnFieldChange();
    UpdateFilterButtons();
}

void FilterEditor::OnFieldChange() {
    const int criteria = c_.field->currentIndex();
    const FilterKind kind = CriterionKind(criteria);
    c_.op->clear();
    c_.valueList->clear();
    c_.op->addItems(OperatorTexts(kind));
    c_.valueList->addItems(ValueTexts(criteria));
    const bool text = kind == FilterKind::Text;
    c_.text->setVisible(text);
    c_.caseSensitive->setVisible(text);
    c_.size->setVisible(kind == FilterKind::Number);
    c_.date->setVisible(kind == FilterKind::Date);
    c_.valueList->setVisible(kind == FilterKind::OrderedList || kind == FilterKind::List);
    c_.op->setCurrentIndex(0);
    c_.valueList->setCurrentIndex(0);
}

bool FilterEditor::ReadFilterFromEditor(STR_FILTER_ITEM* filter) {
    STR_FILTER_ITEM result;
    result.Criteria = c_.field->currentIndex();
    result.ConjunctionOption = c_.op->currentIndex();
    switch (CriterionKind(result.Criteria)) {
    case FilterKind::Date:
        result.Date = LocaleFormats::current().formatDate(c_.date->date());
        break;
    case FilterKind::Number:
        result.NumericField = c_.size->text().toInt();
        result.MatchCase = 0;
        *filter = result;
        return true;
    case FilterKind::OrderedList:
    case FilterKind::List:
        result.NumericValue = c_.valueList->currentIndex();
        break;
    case FilterKind::Text:
    case FilterKind::Unknown:
        result.TextField = c_.text->text();
        if (result.TextField.isEmpty())
            return false;
        if (result.ConjunctionOption == TextMatchesRegExp &&
            !IsValidFilterRegExp(result.TextField)) {
            ShowMessage(c_.list->window(), QStringLiteral("Incorrect Regular Expression syntax."));
            return false;
        }
        break;
    }
    result.MatchCase =
        (result.Criteria < CriteriaDateSent && c_.caseSensitive->isChecked()) ? 1 : 0;
    *filter = result;
    return true;
}

int FilterEditor::SelectedRow() const {
    const QModelIndexList rows = c_.list->selectionModel()->selectedRows();
    return rows.size() == 1 ? rows.front().row() : -1;
}

void FilterEditor::selectRow(int row) {
    const QModelIndex index = model_->index(row, 0);
    c_.list->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                          QItemSelectionModel::Rows);
    c_.list->scrollTo(index);
}

bool FilterEditor::readNewFilter(STR_FILTER_ITEM* filter) {
    if (!ReadFilterFromEditor(filter))
        return false;
    // A filter already in the list is shown instead of being added twice.
    const int existing = FindFilter(*filter, filters_.items);
    if (existing >= 0) {
        selectRow(existing);
        return false;
    }
    return true;
}

void FilterEditor::OnAdd() {
    STR_FILTER_ITEM filter;
    if (!readNewFilter(&filter))
        return;
    filters_.items.append(filter);
    RefreshList();
    UpdateFilterButtons();
}

void FilterEditor::OnUpdate() {
    STR_FILTER_ITEM filter;
    if (!readNewFilter(&filter))
        return;
    const QModelIndexList rows = c_.list->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return;
    filters_.items[rows.front().row()] = filter;
    RefreshList();
    UpdateFilterButtons();
}

void FilterEditor::OnEdit() {
    const QModelIndexList rows = c_.list->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return;
    const STR_FILTER_ITEM filter = filters_.items.value(rows.front().row());
    c_.field->setCurrentIndex(filter.Criteria);
    OnFieldChange();
    c_.op->setCurrentIndex(filter.ConjunctionOption);
    switch (CriterionKind(filter.Criteria)) {
    case FilterKind::Date:
        if (const QDate date = LocaleFormats::current().parseDate(filter.Date); date.isValid())
            c_.date->setDate(date);
        break;
    case FilterKind::Number:
        c_.size->setText(QString::number(filter.NumericField));
        break;
    case FilterKind::OrderedList:
    case FilterKind::List:
        c_.valueList->setCurrentIndex(filter.NumericValue);
        break;
    case FilterKind::Text:
    case FilterKind::Unknown:
        c_.text->SetText(filter.TextField);
        break;
    }
    c_.caseSensitive->setChecked(filter.MatchCase == 1);
}

void FilterEditor::OnRemove() {
    const QModelIndexList rows = c_.list->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return;
    filters_.items.removeAt(rows.front().row());
    RefreshList();
    UpdateFilterButtons();
}

void FilterEditor::move(int step) {
    const int row = SelectedRow();
    const int target = row + step;
    if (row < 0 || target < 0 || target >= filters_.items.size())
        return;
    filters_.items.swapItemsAt(row, target);
    RefreshList();
    selectRow(target);
    c_.list->setFocus();
    UpdateFilterButtons();
}

void FilterEditor::OnMoveUp() {
    move(-1);
}

void FilterEditor::OnMoveDown() {
    move(1);
}

void FilterEditor::OnClear() {
    filters_.items.clear();
    RefreshList();
    UpdateFilterButtons();
}

void FilterEditor::OnSuspend() {
    filters_.MatchAllMessages = filters_.suspended() ? 0 : 1;
    RefreshList();
}

void FilterEditor::SetMatchAll(bool all) {
    filters_.MatchAllFilters = all ? 1 : 0;
}

void FilterEditor::UpdateFilterButtons() {
    const int row = SelectedRow();
    const bool single = row >= 0;
    c_.edit->setEnabled(single);
    c_.update->setEnabled(single);
    c_.remove->setEnabled(single);
    if (!single) {
        c_.moveUp->setEnabled(false);
        c_.moveDown->setEnabled(false);
        return;
    }
    // In mode All the order does not matter; the buttons keep the state they had.
    const bool any = !filters_.matchAll();
    if (filters_.items.isEmpty() || row == 0)
        c_.moveUp->setEnabled(false);
    else if (any)
        c_.moveUp->setEnabled(true);
    if (row == filters_.items.size() - 1)
        c_.moveDown->setEnabled(false);
    else if (any)
        c_.moveDown->setEnabled(true);
}

void FilterEditor::RefreshList() {
    model_->Refresh();
    c_.list->viewport()->update();
}

void FilterEditor::SetExportRunning(bool running) {
    for (QWidget* control :
         {static_cast<QWidget*>(c_.field), static_cast<QWidget*>(c_.op),
          static_cast<QWidget*>(c_.valueList), static_cast<QWidget*>(c_.list),
          static_cast<QWidget*>(c_.text), static_cast<QWidget*>(c_.caseSensitive),
          static_cast<QWidget*>(c_.size), static_cast<QWidget*>(c_.date),
          static_cast<QWidget*>(c_.add)})
        control->setEnabled(!running);
    if (running) {
        for (QPushButton* b : {c_.edit, c_.update, c_.remove, c_.moveUp, c_.moveDown})
            b->setEnabled(false);
        return;
    }
    UpdateFilterButtons();
    OnFieldChange();
}

void FilterEditor::FitColumns() {
    const int width = (c_.list->width() - 26) / 3;
    for (int column = 0; column < 3; ++column)
        c_.list->setColumnWidth(column, std::max(width, 10));
}

} // namespace parcelo::ui
