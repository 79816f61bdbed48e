// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "filters/FilterItem.h"
#include "filters/FilterState.h"

#include <QObject>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QTableView;
class QWidget;

namespace parcelo::ui {

class CRichEditCtrlEx;
class FilterListModel;

// The "Filters" group of the main window: composes one filter at a time from a field, an
// operator and a value, and adds, updates, edits, removes and reorders the application's
// filters. The window places the controls.
class FilterEditor : public QObject {
    Q_OBJECT
public:
    struct Controls {
        QGroupBox* filtersGroup;
        QGroupBox* composeGroup;
        QComboBox* field;
        QComboBox* op;
        QComboBox* valueList;
        CRichEditCtrlEx* text;
        QCheckBox* caseSensitive;
        QLineEdit* size;
        QDateEdit* date;
        QPushButton* add;
        QPushButton* update;
        QTableView* list;
        QPushButton* edit;
        QPushButton* remove;
        QPushButton* moveUp;
        QPushButton* moveDown;
    };

    FilterEditor(FilterState& filters, QWidget* parent);

    const Controls& Widgets() const { return c_; }

    void OnFieldChange();
    // The filter the composing controls describe; false (with the syntax message for a bad
    // pattern) when they describe none.
    bool ReadFilterFromEditor(STR_FILTER_ITEM* filter);
    void OnAdd();
    void OnUpdate();
    void OnEdit();
    void OnRemove();
    void OnMoveUp();
    void OnMoveDown();
    void OnClear();
    void OnSuspend();
    void SetMatchAll(bool all);
    void UpdateFilterButtons();
    void RefreshList();

    // The row when exactly one is selected, else -1.
    int SelectedRow() const;
    void SetExportRunning(bool running);
    // Each of the three columns gets a third of (list width - 26).
    void FitColumns();

private:
    void selectRow(int row);
    // Reads the editor; false when that fails or the filter is in the list already.
    bool readNewFilter(STR_FILTER_ITEM* filter);
    void move(int step);

    FilterState& filters_;
    FilterListModel* model_;
    Controls c_;
};

} // namespace parcelo::ui
