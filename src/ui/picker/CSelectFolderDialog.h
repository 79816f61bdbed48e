// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFileDialog>

class QLineEdit;
class QPushButton;

namespace parcelo {

// A folder chooser that lists folders only, shows the folder the user has navigated to under
// "Current Selection:" and returns that folder, with exactly one trailing '/'. Where the shown
// place has no path, "[None]" is shown and "&Select" cannot be pressed.
class CSelectFolderDialog : public QFileDialog {
    Q_OBJECT
public:
    explicit CSelectFolderDialog(QWidget* parent = nullptr);

    // The main window's "Select...": the chosen export folder, or empty after "&No".
    static QString ChooseExportFolder(QWidget* parent, const QString& startFolder);

    void SetTitle(const QString& title);
    // Starts in that folder; an empty one leaves the dialog's default folder.
    void SetStartFolder(const QString& folder);
    // The folder shown last, ending with one '/'; empty for a place without a path.
    QString CurrentFolder() const { return current_; }

    // A path with its trailing white space and separators replaced by one '/'; empty for none.
    static QString WithOneSeparator(const QString& path);

    QLineEdit* SelectionBox() const { return selection_; }
    QPushButton* SelectButton() const;

public Q_SLOTS:
    // "&Select" ends the dialog with the shown folder, never with a folder selected in the list.
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showFolder(const QUrl& url);
    void updateSelectButton();

    QLineEdit* selection_;
    QString current_;
};

} // namespace parcelo
