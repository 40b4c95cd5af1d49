#include "ConsoleWindow.h"
#include "front_ends.h"

#include "updater/UpdateForm.h"

#include "inet/Inet.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void OnSignal(int signalNumber) {
    const unsigned char n = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &n, 1);
}

// Ctrl+C and termination end the program the way the close label does, so that a download under
// way is abandoned and leaves no temporary file behind.
void RouteSignalsTo(vex::updater::UpdateForm& form, ConsoleWindow& window, QObject* parent) {
    if (::pipe(signalPipe) != 0) return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, parent);
    QObject::connect(notifier, &QSocketNotifier::activated, parent, [&form, &window] {
        unsigned char n = 0;
        if (::read(signalPipe[0], &n, 1) != 1) return;
        window.SetEndStatus(128 + n);
        form.lblClose_Click();
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

} // namespace

int RunConsoleFrontEnd(int& argc, char** argv, const FrontEndOptions& options) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vexbrindle"));

    ConsoleWindow::Terminal terminal;
    terminal.bOutIsTerminal = ::isatty(STDOUT_FILENO) != 0;
    terminal.bInIsTerminal = ::isatty(STDIN_FILENO) != 0;
    terminal.bAssumeYes = options.bAssumeYes;

    ConsoleWindow window(terminal);
    vex::inet::Inet inet1;
    vex::updater::UpdateForm form(window, inet1, vex::updater::UpdateSettings::FromEnvironment());
    RouteSignalsTo(form, window, &app);

    form.Form_Load();
    window.Attach(form);
    QTimer::singleShot(0, &app, [&form, &window] {
        form.Form_Activate();
        // Without a close label the stopped run has nothing left to wait for.
        if (!form.Ending()) window.ReportStopped();
    });
    return app.exec();
}
