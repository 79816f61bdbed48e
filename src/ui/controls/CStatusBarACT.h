// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStatusBar>
#include <vector>

class QLabel;

namespace parcelo::ui {

// The window's status bar: a fixed-width first pane, a stretching second pane, and a tool tip
// per pane. Panes are addressed by their ids.
class CStatusBarACT : public QStatusBar {
    Q_OBJECT
public:
    struct Pane {
        int id;
        int width; // 0 stretches over the rest
    };
    CStatusBarACT(const std::vector<Pane>& panes, QWidget* parent = nullptr);

    // A text with a line feed shows its first part in the pane; the rest becomes the pane's tip.
    void SetPaneText(int id, const QString& text);
    void SetPaneTipText(int id, const QString& text);
    QString PaneText(int id) const;
    QString PaneTipText(int id) const;

private:
    QLabel* pane(int id) const;

    std::vector<std::pair<int, QLabel*>> panes_;
};

} // namespace parcelo::ui
