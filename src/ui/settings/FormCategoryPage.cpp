// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/settings/FormCategoryPage.h"

#include <QEvent>
#include <QMouseEvent>

namespace parcelo {

FormCategoryPage::FormCategoryPage(int category, QWidget* parent)
    : QWidget(parent), category_(category) {}

bool FormCategoryPage::Apply() {
    if (!dirty_)
        return false;
    ApplyPage();
    setDirty(false);
    return true;
}

void FormCategoryPage::Reset() {
    ResetPage();
    setDirty(true);
}

void FormCategoryPage::TrackInput() {
    installEventFilter(this);
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);
}

bool FormCategoryPage::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        setDirty(true);
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            setDirty(true);
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void FormCategoryPage::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Q_EMIT ApplyButtonUpdate(dirty_ ? 1 : 0);
}

void FormCategoryPage::setDirty(bool dirty) {
    dirty_ = dirty;
    Q_EMIT ApplyButtonUpdate(dirty ? 1 : 0);
}

} // namespace parcelo
