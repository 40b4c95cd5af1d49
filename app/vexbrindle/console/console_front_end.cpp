#include "app/vexbrindle/console/TerminalForm.h"
#include "app/vexbrindle/front_ends.h"

#include "updater/UpdateForm.h"

#include "platform/inet/Inet.h"
#include "platform/runtime/termination.h"

#include <QCoreApplication>
#include <QTimer>

#include <unistd.h>

int RunConsoleFrontEnd(int& argc, char** argv, const FrontEndOptions& options) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vexbrindle"));

    TerminalForm::Terminal terminal;
    terminal.bOutIsTerminal = ::isatty(STDOUT_FILENO) != 0;
    terminal.bInIsTerminal = ::isatty(STDIN_FILENO) != 0;
    terminal.bAssumeYes = options.bAssumeYes;

    TerminalForm window(terminal);
    vex::inet::Inet inet1;
    vex::updater::UpdateForm form(window, inet1, vex::updater::UpdateSettings::FromEnvironment());
    // Ctrl+C and termination end the program the way the close label does.
    vex::RouteTerminationSignals(&app, [&form, &window](int signalNumber) {
        window.SetEndStatus(128 + signalNumber);
        form.lblClose_Click();
    });

    form.Form_Load();
    window.Attach(form);
    QTimer::singleShot(0, &app, [&form, &window] {
        form.Form_Activate();
        // Without a close label the stopped run has nothing left to wait for.
        if (!form.Ending()) window.ReportStopped();
    });
    return app.exec();
}
