// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/controls/CStatusBarACT.h"

#include <QLabel>

namespace parcelo::ui {

CStatusBarACT::CStatusBarACT(const std::vector<Pane>& panes, QWidget* parent) : QStatusBar(parent) {
    for (const Pane& entry : panes) {
        auto* label = new QLabel(this);
        label->setTextFormat(Qt::PlainText);
        label->setObjectName(QStringLiteral("pane%1").arg(entry.id));
        if (entry.width > 0) {
            label->setFixedWidth(entry.width);
            addWidget(label);
        } else {
            label->setMinimumWidth(1);
            addWidget(label, 1);
        }
        panes_.emplace_back(entry.id, label);
    }
}

QLabel* CStatusBarACT::pane(int id) const {
    for (const auto& [paneId, label] : panes_)
        if (paneId == id)
            return label;
    return nullptr;
}

void CStatusBarACT::SetPaneText(int id, const QString& text) {
    QLabel* label = pane(id);
    if (!label)
        return;
    const qsizetype lineFeed = text.indexOf(QLatin1Char('\n'));
    if (lineFeed < 0) {
        label->setText(text);
        return;
    }
    label->setText(text.left(lineFeed));
    SetPaneTipText(id, text.mid(lineFeed + 1));
}

void CStatusBarACT::SetPaneTipText(int id, const QString& text) {
    if (QLabel* label = pane(id))
        label->setToolTip(text);
}

QString CStatusBarACT::PaneText(int id) const {
    const QLabel* label = pane(id);
    return label ? label->text() : QString();
}

QString CStatusBarACT::PaneTipText(int id) const {
    const QLabel* label = pane(id);
    return label ? label->toolTip() : QString();
}

} // namespace parcelo::ui
