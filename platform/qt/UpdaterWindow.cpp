#include "UpdaterWindow.h"

#include "ClickLabel.h"
#include "runtime/errors.h"
#include "runtime/program.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <unistd.h>

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

namespace {

int signalPipe[2] = {-1, -1};

void OnSignal(int signalNumber) {
    const unsigned char n = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &n, 1);
}

// A signal only writes a byte; the close label's handler runs from the event loop.
void RouteSignalsToCloseLabel(frmVexbrindle& window) {
    if (::pipe(signalPipe) != 0) return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
        unsigned char n = 0;
        if (::read(signalPipe[0], &n, 1) != 1) return;
        if (!window.HasEnded()) emit window.lblClose_Click();
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

} // namespace

int RunUpdaterWindow(const updater::UpdateSettings& settings, const UpdaterWindowOptions& options) {
    // The program ends through End() only: closing a message box while the window is hidden
    // must not end it behind the run's back.
    QApplication::setQuitOnLastWindowClosed(false);
    UpdaterWindow updater(settings);
    updater.SetUnattended(options.unattendedMs);
    updater.window().SetAssumeYes(options.assumeYes);
    RouteSignalsToCloseLabel(updater.window());
    updater.Start();
    return QApplication::exec();
}

} // namespace vex::qtui
