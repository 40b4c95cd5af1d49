#pragma once

#include "app/vexbrindle/window/WindowGoneWatcher.h"
#include "updater/FormWindow.h"

#include <QTimer>
#include <QWidget>

#include <functional>

class QLabel;

namespace xpbar {
class XPProgressBar;
}

namespace vex::qtui {

class ClickLabel;

// The updater window, built from its design (frmVexbrindleDesign). It raises the window's
// events as signals and carries out what the run and the status handlers ask of it through
// updater::FormWindow. Whoever runs the update connects the signals to the handlers.
//
// Start() loads, shows and then activates the window: Form_Load, show, and Form_Activate once,
// from the event loop after the window first became active or was first painted. Returning
// from a message box never raises Form_Activate again.
//
// Closing the window through the window manager, or another program destroying it or one of
// its message boxes, raises lblClose_Click: whatever window of the program goes, the program
// does not go on without it.
//
// End() stops everything at once: the timers stop, the window goes away, no signal is raised
// and every later request to the window is ignored (a message box is not shown), then the end
// action runs. By default it leaves every event loop, so a fetch under way returns (its owner
// has abandoned it) and the program unwinds to main() and exits, discarding what it had open.
class frmVexbrindle : public QWidget, public updater::FormWindow {
    Q_OBJECT

  public:
    explicit frmVexbrindle(QWidget* parent = nullptr);
    ~frmVexbrindle() override;

    void Start();

    // What End() finally does. The default quits the application's event loops.
    void SetEndAction(std::function<void()> action) { endAction_ = std::move(action); }
    // Answers every message box with its default button (OK, Yes) after `milliseconds`, for
    // runs with no one at the keyboard. 0 or less waits for the user.
    void SetAutoAnswer(int milliseconds) { autoAnswerMs_ = milliseconds; }
    // Answers Yes/No questions with Yes without showing them.
    void SetAssumeYes(bool assumeYes) { assumeYes_ = assumeYes; }
    // Starts a program without waiting for it (the run's Shell).
    void SetShellAction(std::function<bool(const QString&, int)> action) {
        shellAction_ = std::move(action);
    }

    bool HasEnded() const { return ended_; }

    // The controls, by their design names (tests and tools look at them).
    QLabel* Label1() const { return label1_; }
    xpbar::XPProgressBar* ProgressBar1() const { return progressBar1_; }
    QLabel* Label2() const { return label2_; }
    QLabel* Label3() const { return label3_; }
    ClickLabel* lblClose() const { return lblClose_; }
    QTimer& Timer1() { return timer1_; }
    QTimer& Timer2() { return timer2_; }

    // updater::FormWindow
    void SetCaption(updater::LabelId label, const QString& text) override;
    void SetVisible(updater::LabelId label, bool visible) override;
    void SetTimerInterval(updater::TimerId timer, int milliseconds) override;
    void SetBarValue(Long value) override;
    void Hide() override;
    void SetNormalState() override;
    int MsgBox(const QString& prompt, int buttons, const QString& title) override;
    bool Shell(const QString& program, int windowStyle) override;
    void End() override;

  signals:
    void Form_Load();
    void Form_Activate();
    void Timer1_Timer();
    void Timer2_Timer();
    void lblClose_Click();

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void BuildFromDesign();
    QLabel* Label(updater::LabelId id) const;
    QTimer& Timer(updater::TimerId id);
    void ActivateOnce();
    // One of the program's windows has been taken away.
    void TakenAway();

    QLabel* label1_ = nullptr;
    xpbar::XPProgressBar* progressBar1_ = nullptr;
    QLabel* label2_ = nullptr;
    QLabel* label3_ = nullptr;
    ClickLabel* lblClose_ = nullptr;
    QTimer timer1_;
    QTimer timer2_;

    bool started_ = false;
    bool activationQueued_ = false;
    bool ended_ = false;
    int autoAnswerMs_ = 0;
    bool assumeYes_ = false;
    std::function<void()> endAction_;
    std::function<bool(const QString&, int)> shellAction_;
    WindowGoneWatcher gone_;
};

} // namespace vex::qtui
