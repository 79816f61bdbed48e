// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "export/ExportObserver.h"

#include <cstdio>

namespace parcelo::cli {

// A one-line progress bar with the status text on standard error, drawn only on a terminal.
class TerminalProgress : public IExportObserver {
public:
    explicit TerminalProgress(std::FILE* stream);
    // Whether a bar is drawn on the stream: only then does the export need a total.
    static bool Shows(std::FILE* stream);
    ~TerminalProgress() override;

    void SetProgress(int percent) override;
    void SetStatusText(const QString& text) override;
    void ReportProblem(const QString& text) override;

private:
    void Draw();

    std::FILE* stream_;
    bool enabled_;
    int percent_ = 0;
    QString status_;
    bool drawn_ = false;
};

} // namespace parcelo::cli
