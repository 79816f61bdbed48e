#pragma once

#include "export/ExportObserver.h"

#include <QStringList>

class QProgressBar;

namespace parcelo::ui {

class CStatusBarACT;

// The window's side of an export run: progress bar, second status pane, a 4 ms pause and the
// window's events after every message, and the problems the run reports kept for the user.
class WindowExportObserver : public IExportObserver {
public:
    WindowExportObserver(QProgressBar& progress, CStatusBarACT& status, int statusPane);

    void SetProgress(int percent) override;
    void SetStatusText(const QString& text) override;
    void Pause() override;
    void PumpEvents() override;
    void ReportProblem(const QString& text) override;

    const QStringList& Problems() const { return problems_; }

private:
    QProgressBar& progress_;
    CStatusBarACT& status_;
    int statusPane_;
    QStringList problems_;
};

} // namespace parcelo::ui
