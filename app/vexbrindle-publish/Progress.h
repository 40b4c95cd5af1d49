#pragma once

#include <QString>
#include <QtGlobal>

#include <cstdio>

namespace vex::publish {

// Tells the user how far the long steps (compressing, patching) have come. On a terminal one
// line per step shows its percentage, rewritten in place; otherwise (a log, a pipe) each step
// is one plain line, so the log holds no carriage returns.
class Progress {
  public:
    Progress(std::FILE* stream, bool bTerminal) : stream_(stream), bTerminal_(bTerminal) {}
    ~Progress() { Stop(); }

    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // A short step that needs no percentage, as one plain line.
    void Note(const QString& step);
    // Starts a step of `total` bytes, e.g. "Compressing DrixaBilling2.exe".
    void Begin(const QString& step, qint64 total);
    // `done` of the step's bytes are through.
    void Advance(qint64 done);
    // The step is done: its line ends at 100%.
    void End();
    // The step stopped short (a failure): its line ends where it stood.
    void Stop();

  private:
    void Show(int percent);

    std::FILE* stream_;
    bool bTerminal_;
    QString step_;
    qint64 total_ = 0;
    int shown_ = -1; // the percentage on the line; -1 before the first
    bool bOpen_ = false;
};

} // namespace vex::publish
