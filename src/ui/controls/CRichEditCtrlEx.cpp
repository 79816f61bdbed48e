// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/controls/CRichEditCtrlEx.h"

#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QKeyEvent>

namespace parcelo::ui {

QString CRichEditCtrlEx::GetText() const {
    QString content = text();
    content.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    content.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    content.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return content;
}

void CRichEditCtrlEx::focusInEvent(QFocusEvent* event) {
    // A line edit selects everything when tabbed into; this box keeps caret and selection.
    if (event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason) {
        QFocusEvent plain(event->type(), Qt::OtherFocusReason);
        QLineEdit::focusInEvent(&plain);
        return;
    }
    QLineEdit::focusInEvent(event);
}

void CRichEditCtrlEx::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Menu) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void CRichEditCtrlEx::contextMenuEvent(QContextMenuEvent* event) {
    if (event->reason() == QContextMenuEvent::Keyboard) {
        event->accept();
        return;
    }
    QLineEdit::contextMenuEvent(event);
}

} // namespace parcelo::ui
