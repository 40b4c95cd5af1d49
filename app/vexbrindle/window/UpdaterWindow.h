#pragma once

#include "app/vexbrindle/window/frmVexbrindle.h"
#include "platform/inet/Inet.h"
#include "updater/UpdateForm.h"

namespace vex::qtui {

// The updater window wired to its handlers: frmVexbrindle raises its events into an
// UpdateForm, which acts on the window and on the window's transfer component Inet1.
class UpdaterWindow {
  public:
    explicit UpdaterWindow(updater::UpdateSettings settings);
    ~UpdaterWindow();
    UpdaterWindow(const UpdaterWindow&) = delete;
    UpdaterWindow& operator=(const UpdaterWindow&) = delete;

    frmVexbrindle& window() { return window_; }
    updater::UpdateForm& form() { return form_; }
    inet::Inet& Inet1() { return inet1_; }

    // Answers every message box with its default button after `milliseconds`, and, should the
    // run stop with the window left open, clicks the close label as soon as it shows after the
    // same delay: a run with no one at the keyboard ends by itself. 0 waits for the user.
    void SetUnattended(int milliseconds);

    // Form_Load, show, then Form_Activate once from the event loop.
    void Start() { window_.Start(); }

  private:
    void CloseWhenStopped();

    inet::Inet inet1_;
    frmVexbrindle window_;
    updater::UpdateForm form_;
    int unattendedMs_ = 0;
};

// Seconds after which an unattended run answers its message boxes, from the environment
// variable VEXBRINDLE_AUTO_ANSWER (a whole number of seconds, 0 to 3600); 0 when it is unset
// or not such a number.
int UnattendedSecondsFromEnvironment();

struct UpdaterWindowOptions {
    // Answer the restart question with Yes without asking.
    bool assumeYes = false;
    // See UpdaterWindow::SetUnattended.
    int unattendedMs = 0;
};

// Runs the update in the window until the program ends and returns the exit status. Needs a
// QApplication on a platform with a display. SIGINT, SIGTERM and the window destroyed by
// another program end the program as the close label does, so a download under way leaves no
// file behind and no process stays without a window.
int RunUpdaterWindow(const updater::UpdateSettings& settings, const UpdaterWindowOptions& options);

} // namespace vex::qtui
