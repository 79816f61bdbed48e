// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <array>
#include <functional>

class QPushButton;
class QWidget;

namespace parcelo {

class CParceloApp;
class CListBoxST;
class FormCategoryPage;

// The settings dialog: a category list on the left and the page of the selected category.
// Apply, Reset, OK, Cancel and Help (also F1: the manual at the shown page); Enter and Escape
// never close it and it has no close box, so it ends through OK or Cancel only.
class FormSettings : public QDialog {
    Q_OBJECT
public:
    enum Category { FilesNamingConvention = 0, ExportHeaders, ExportAttachments, Misc };
    static constexpr int kLastConfirmed = -1;

    // `category` 0 to 3 opens that page; a negative one the page last confirmed with OK.
    FormSettings(CParceloApp& app, int category, QWidget* parent = nullptr);

    // The Settings menu's commands: runs the dialog modally on that category.
    static int Open(CParceloApp& app, int category, QWidget* parent);

    CListBoxST* CategoryList() const { return categories_; }
    FormCategoryPage* Page(int category) const;
    FormCategoryPage* ShownPage() const;
    QPushButton* ApplyButton() const { return apply_; }
    QPushButton* ResetButton() const { return reset_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }
    QPushButton* HelpButton() const { return help_; }
    // The shell's "open"; tests record what would be opened.
    void SetShellOpener(std::function<bool(const QString&)> opener) {
        shellOpen_ = std::move(opener);
    }

public Q_SLOTS:
    void OnApply();
    void OnReset();
    void OnOK();
    void OnHelp();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void showCategory(int category);
    void updateApplyButton(int dirty);

    CParceloApp& app_;
    CListBoxST* categories_;
    std::array<FormCategoryPage*, 4> pages_{};
    QPushButton* apply_;
    QPushButton* reset_;
    QPushButton* ok_;
    QPushButton* cancel_;
    QPushButton* help_;
    std::function<bool(const QString&)> shellOpen_;
};

} // namespace parcelo
