#include "app/vexbrindle/window/UpdaterWindow.h"

#include "app/vexbrindle/window/ClickLabel.h"
#include "platform/runtime/errors.h"
#include "platform/runtime/program.h"
#include "platform/runtime/termination.h"

#include <QApplication>
#include <QTimer>

namespace vex::qtui {

UpdaterWindow::UpdaterWindow(updater::UpdateSettings settings)
    : form_(window_, inet1_, std::move(settings)) {
    using updater::UpdateForm;
    window_.SetShellAction(runtime::StartProgram);
    QObject::connect(&window_, &frmVexbrindle::Form_Load, &window_, [this] { form_.Form_Load(); });
    QObject::connect(&window_, &frmVexbrindle::Form_Activate, &window_, [this] {
        // A failing step of the run stops it silently where it stands; nothing escapes into
        // the event loop.
        try {
            form_.Form_Activate();
        } catch (const RuntimeError&) {
        }
        // Still here: the run stopped and the window stays open for the close label.
        if (!window_.HasEnded() && unattendedMs_ > 0) CloseWhenStopped();
    });
    QObject::connect(&window_, &frmVexbrindle::Timer1_Timer, &window_,
                     [this] { form_.Timer1_Timer(); });
    QObject::connect(&window_, &frmVexbrindle::Timer2_Timer, &window_,
                     [this] { form_.Timer2_Timer(); });
    QObject::connect(&window_, &frmVexbrindle::lblClose_Click, &window_,
                     [this] { form_.lblClose_Click(); });
}

UpdaterWindow::~UpdaterWindow() = default;

void UpdaterWindow::SetUnattended(int milliseconds) {
    unattendedMs_ = milliseconds;
    window_.SetAutoAnswer(milliseconds);
}

void UpdaterWindow::CloseWhenStopped() {
    QTimer::singleShot(unattendedMs_, &window_, [this] {
        if (window_.HasEnded()) return;
        if (window_.lblClose()->isVisible()) {
            emit window_.lblClose()->clicked();
        } else {
            CloseWhenStopped();
        }
    });
}

int UnattendedSecondsFromEnvironment() {
    bool ok = false;
    const int seconds = qEnvironmentVariableIntValue("VEXBRINDLE_AUTO_ANSWER", &ok);
    return ok && seconds >= 0 && seconds <= 3600 ? seconds : 0;
}

int RunUpdaterWindow(const updater::UpdateSettings& settings, const UpdaterWindowOptions& options) {
    // The program ends through End() only: closing a message box while the window is hidden
    // must not end it behind the run's back.
    QApplication::setQuitOnLastWindowClosed(false);
    UpdaterWindow updater(settings);
    updater.SetUnattended(options.unattendedMs);
    updater.window().SetAssumeYes(options.assumeYes);
    // Ctrl+C and termination do what the close label does, as a window taken away does
    // (frmVexbrindle): the program ends, abandoning a download, rather than dying mid-write.
    frmVexbrindle& window = updater.window();
    RouteTerminationSignals(&window, [&window](int) {
        if (!window.HasEnded()) emit window.lblClose_Click();
    });
    updater.Start();
    return QApplication::exec();
}

} // namespace vex::qtui
