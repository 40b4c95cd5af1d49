#pragma once

#include "updater/FormWindow.h"

#include <QString>
#include <QTimer>

#include <cstdio>
#include <optional>

namespace vex::updater {
class UpdateForm;
}

// The operations of the updater window, carried out as lines in a terminal. Label1 and the
// message boxes are printed as lines; the status line, the connection time and the bar's value
// share one line that is rewritten in place on a terminal and printed anew on each change
// otherwise. There is no close label: the
// front end itself ends the program when the run stops. Everything printed passes through
// ForTerminal, since versions and failure texts come from the network.
class TerminalForm : public vex::updater::FormWindow {
  public:
    struct Terminal {
        std::FILE* out = stdout;
        std::FILE* in = stdin;
        bool bOutIsTerminal = false; // rewrite the status line in place
        bool bInIsTerminal = false;  // ask the restart question; otherwise the answer is No
        bool bAssumeYes = false;     // answer the restart question with Yes
    };

    explicit TerminalForm(Terminal terminal);

    // Connects the timers to the form's handlers; Timer1 starts ticking.
    void Attach(vex::updater::UpdateForm& form);

    void SetCaption(vex::updater::LabelId label, const QString& text) override;
    void SetVisible(vex::updater::LabelId label, bool visible) override;
    void SetTimerInterval(vex::updater::TimerId timer, int milliseconds) override;
    void SetBarValue(vex::Long value) override;
    // The status line goes away and stays away, as the window's would.
    void Hide() override;
    void SetNormalState() override {}
    int MsgBox(const QString& prompt, int buttons, const QString& title) override;
    bool Shell(const QString& program, int windowStyle) override;
    void End() override;
    // A line of its own, between the status lines.
    void Note(const QString& text) override { PrintLine(text); }

    // Prints why the run stopped and ends the event loop with status 1.
    void ReportStopped();

    // The exit status End() hands to the event loop (0 unless set otherwise).
    void SetEndStatus(int status) { endStatus_ = status; }

  private:
    // The line typed at the restart question, lower case and trimmed; nullopt when the program
    // ended while waiting (Ctrl+C, termination).
    std::optional<QString> ReadAnswer();
    void PrintLine(const QString& text);
    void DrawStatusLine();
    void ClearStatusLine();
    QString StatusLine() const;

    Terminal terminal_;
    QTimer timer1_;
    QTimer timer2_;
    QString label2_;
    QString label3_;
    vex::Long barValue_ = 0;
    QString shownStatus_; // the status line as last printed
    bool bStatusOnScreen_ = false;
    bool bHidden_ = false;
    bool bAsking_ = false;
    QString lastMessage_; // the last message box's text
    bool bEnded_ = false;
    int endStatus_ = 0;
};
