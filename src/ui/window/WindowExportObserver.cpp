// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/window/WindowExportObserver.h"

#include "ui/controls/CStatusBarACT.h"

#include <QCoreApplication>
#include <QProgressBar>
#include <QThread>

namespace parcelo::ui {

WindowExportObserver::WindowExportObserver(QProgressBar& progress, CStatusBarACT& status,
                                           int statusPane)
    : progress_(progress), status_(status), statusPane_(statusPane) {}

void WindowExportObserver::SetProgress(int percent) {
    progress_.setValue(percent);
}

void WindowExportObserver::SetStatusText(const QString& text) {
    status_.SetPaneText(statusPane_, text);
}

void WindowExportObserver::Pause() {
    QThread::msleep(4);
}

void WindowExportObserver::PumpEvents() {
    QCoreApplication::processEvents();
}

void WindowExportObserver::ReportProblem(const QString&) {
    // The window lists the run's problems once it is over.
}

} // namespace parcelo::ui
