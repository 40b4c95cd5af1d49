#include "app/vexbrindle-publish/Progress.h"

#include <algorithm>

namespace vex::publish {

void Progress::Note(const QString& step) {
    Stop();
    std::fprintf(stream_, "%s\n", qUtf8Printable(step));
    std::fflush(stream_);
}

void Progress::Begin(const QString& step, qint64 total) {
    Stop();
    step_ = step;
    total_ = total;
    shown_ = -1;
    bOpen_ = true;
    if (bTerminal_) {
        Show(0);
    } else {
        std::fprintf(stream_, "%s\n", qUtf8Printable(step_));
        std::fflush(stream_);
    }
}

void Progress::Advance(qint64 done) {
    if (!bOpen_ || !bTerminal_) return;
    const int percent =
        total_ > 0 ? static_cast<int>(std::clamp<qint64>(done * 100 / total_, 0, 100)) : 100;
    // Only a new figure is written: a step may advance thousands of times.
    if (percent != shown_) Show(percent);
}

void Progress::End() {
    if (bOpen_ && bTerminal_ && shown_ != 100) Show(100);
    Stop();
}

void Progress::Stop() {
    if (!bOpen_) return;
    bOpen_ = false;
    if (!bTerminal_) return;
    std::fputc('\n', stream_);
    std::fflush(stream_);
}

void Progress::Show(int percent) {
    shown_ = percent;
    std::fprintf(stream_, "\r%s: %3d%%", qUtf8Printable(step_), percent);
    std::fflush(stream_);
}

} // namespace vex::publish
