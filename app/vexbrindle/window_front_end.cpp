#include "front_ends.h"

#include "qt/UpdaterWindow.h"
#include "updater/UpdateForm.h"

#include <QApplication>

int RunWindowFrontEnd(int& argc, char** argv, const FrontEndOptions& options) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vexbrindle"));
    vex::qtui::UpdaterWindowOptions windowOptions;
    windowOptions.assumeYes = options.bAssumeYes;
    windowOptions.unattendedMs = vex::qtui::UnattendedSecondsFromEnvironment() * 1000;
    return vex::qtui::RunUpdaterWindow(vex::updater::UpdateSettings::FromEnvironment(),
                                       windowOptions);
}
