// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/SettingKey.h"
#include "ui/settings/FormCategoryPage.h"

#include <QStringList>

class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableView;

namespace parcelo {

class CParceloApp;
class NameListModel;

// The page both name lists share: the mode (All, Some:, None), the list of names that "Some:"
// keeps, and the box and buttons that edit that list in place.
class FormCategoryNameList : public FormCategoryPage {
    Q_OBJECT
public:
    struct Texts {
        QString group;       // the page's group box
        QString column;      // the list's column header
        SettingWrite moment; // when the mode's key is written
        bool selectionAlwaysShown = false;
    };

    FormCategoryNameList(const Texts& texts, CParceloApp& app, int& mode, QStringList& names,
                         QString listFile, int category, QWidget* parent);

    QRadioButton* AllButton() const { return all_; }
    QRadioButton* SomeButton() const { return some_; }
    QRadioButton* NoneButton() const { return none_; }
    QTableView* ListView() const { return view_; }
    QLineEdit* NameBox() const { return nameBox_; }
    QPushButton* AddButton() const { return add_; }
    QPushButton* UpdateButton() const { return update_; }
    QPushButton* RemoveButton() const { return remove_; }

    // 2 "All", 1 "Some:", 0 "None", as the radio buttons stand.
    int CheckedMode() const;

protected:
    void ApplyPage() override;
    void ResetPage() override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void onAdd();
    void onUpdate();
    void onRemove();
    void setMode(int mode);
    void updateButtons();
    void fitColumn();
    int firstSelectedRow() const;

    Texts texts_;
    CParceloApp& app_;
    int& mode_;
    QStringList& names_;
    QString listFile_;
    NameListModel* model_;
    QRadioButton* all_;
    QRadioButton* some_;
    QRadioButton* none_;
    QTableView* view_;
    QLineEdit* nameBox_;
    QPushButton* add_;
    QPushButton* update_;
    QPushButton* remove_;
};

} // namespace parcelo
