// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/TerminalProgress.h"

#include <unistd.h>

namespace parcelo::cli {

TerminalProgress::TerminalProgress(std::FILE* stream) : stream_(stream), enabled_(Shows(stream)) {}

bool TerminalProgress::Shows(std::FILE* stream) {
    return isatty(fileno(stream)) == 1;
}

TerminalProgress::~TerminalProgress() {
    if (enabled_ && drawn_) {
        std::fputs("\r\033[K", stream_);
        std::fflush(stream_);
    }
}

void TerminalProgress::SetProgress(int percent) {
    if (percent == percent_)
        return;
    percent_ = percent;
    Draw();
}

void TerminalProgress::SetStatusText(const QString& text) {
    if (text == status_)
        return;
    status_ = text;
    Draw();
}

void TerminalProgress::ReportProblem(const QString& text) {
    if (enabled_ && drawn_)
        std::fputs("\r\033[K", stream_);
    // One line each, whatever folder names hold: no line breaks or terminal controls.
    QString line = text;
    for (QChar& c : line) {
        if (c.category() == QChar::Other_Control)
            c = QChar::ReplacementCharacter;
    }
    std::fprintf(stream_, "parcelo-cli: warning: %s\n", line.toLocal8Bit().constData());
    drawn_ = false;
    Draw();
}

void TerminalProgress::Draw() {
    if (!enabled_)
        return;
    constexpr int kWidth = 30;
    const int filled = percent_ * kWidth / 100;
    const QByteArray bar = QByteArray(filled, '#') + QByteArray(kWidth - filled, ' ');
    std::fprintf(stream_, "\r\033[K[%s] %3d%% %s", bar.constData(), percent_,
                 status_.left(60).toLocal8Bit().constData());
    std::fflush(stream_);
    drawn_ = true;
}

} // namespace parcelo::cli
