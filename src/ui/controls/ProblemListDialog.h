// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QStringList>

class QPlainTextEdit;

namespace parcelo::ui {

// The problems of a run, however many: a short summary above, and the whole list in a
// scrolling text that can be selected, copied or saved. The box never grows past the screen.
class ProblemListDialog : public QDialog {
    Q_OBJECT
public:
    ProblemListDialog(QWidget* parent, const QString& summary, const QStringList& problems);

    const QPlainTextEdit& Details() const { return *details_; }

private:
    void copyList();
    void saveList();

    QStringList problems_;
    QPlainTextEdit* details_;
};

// Shows the box and waits until it is closed; with a message sink set, the sink hears the
// summary and the list instead (see MessageBox.h).
void ShowProblems(QWidget* parent, const QString& summary, const QStringList& problems);

} // namespace parcelo::ui
