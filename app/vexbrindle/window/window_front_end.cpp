#include "app/vexbrindle/front_ends.h"

#include "app/vexbrindle/window/UpdaterWindow.h"
#include "updater/UpdateForm.h"

#include <QApplication>
#include <QWidget>

#include <cstdio>
#include <cstdlib>

namespace {

// For the start-up benchmark (VEXBRINDLE_STARTUP_PROBE=1): once the window's first paint has
// been done, say so on standard output and leave at once, before the run begins.
class FirstPaintProbe : public QObject {
  public:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() == QEvent::Paint && object->objectName() == "frmVexbrindle") {
            QMetaObject::invokeMethod(
                qApp,
                [] {
                    std::fputs("painted\n", stdout);
                    std::fflush(stdout);
                    std::_Exit(EXIT_SUCCESS);
                },
                Qt::QueuedConnection);
            qApp->removeEventFilter(this);
        }
        return false;
    }
};

} // namespace

int RunWindowFrontEnd(int& argc, char** argv, const FrontEndOptions& options) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vexbrindle"));
    FirstPaintProbe probe;
    if (qEnvironmentVariableIsSet("VEXBRINDLE_STARTUP_PROBE")) app.installEventFilter(&probe);

    vex::qtui::UpdaterWindowOptions windowOptions;
    windowOptions.assumeYes = options.bAssumeYes;
    windowOptions.unattendedMs = vex::qtui::UnattendedSecondsFromEnvironment() * 1000;
    return vex::qtui::RunUpdaterWindow(vex::updater::UpdateSettings::FromEnvironment(),
                                       windowOptions);
}
