// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace parcelo {

// How the export run reports to its front end. The window pauses 4 ms and dispatches
// its events after every message; the command line does neither.
class IExportObserver {
public:
    virtual ~IExportObserver() = default;
    virtual void SetProgress(int percent) = 0; // 0..100
    virtual void SetStatusText(const QString& text) = 0;
    virtual void Pause() {}
    virtual void PumpEvents() {}
    // Something the run could not read, write or change: which folder or message, and the
    // system's reason, in one line. The run goes on; the store keeps what was not exported.
    virtual void ReportProblem(const QString& text) { (void)text; }
};

} // namespace parcelo
