// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "export/ExportObserver.h"

#include <QString>

class QProgressBar;

namespace parcelo::ui {

class CStatusBarACT;

// The window's side of an export run: progress bar, second status pane, a 4 ms pause and the
// window's events after every message.
class WindowExportObserver : public IExportObserver {
public:
    WindowExportObserver(QProgressBar& progress, CStatusBarACT& status, int statusPane);

    void SetProgress(int percent) override;
    void SetStatusText(const QString& text) override;
    void Pause() override;
    void PumpEvents() override;
    void ReportProblem(const QString& text) override;

private:
    QProgressBar& progress_;
    CStatusBarACT& status_;
    int statusPane_;
};

} // namespace parcelo::ui
