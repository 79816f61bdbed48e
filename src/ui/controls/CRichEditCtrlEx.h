// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLineEdit>

namespace parcelo::ui {

// A single-line text box that keeps its caret when tabbed into (nothing is selected) and
// ignores the context-menu key.
class CRichEditCtrlEx : public QLineEdit {
    Q_OBJECT
public:
    using QLineEdit::QLineEdit;

    void SetText(const QString& text) { setText(text); }
    // The content with every line break written as CR LF.
    QString GetText() const;

protected:
    void focusInEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
};

} // namespace parcelo::ui
