#include "tests/support/ConsoleRun.h"

#include <QDir>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>

namespace vex::testing {

ConsoleRun RunConsole(const QString& folder, const QString& serverUrl) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.insert("VEXBRINDLE_SERVER_URL", serverUrl);
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(folder);
    process.setStandardInputFile(QProcess::nullDevice());
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(120'000, &loop, &QEventLoop::quit); // a hang fails, never blocks
    process.start(QDir(folder).filePath("vexbrindle"), {"--console"});
    if (!process.waitForStarted()) return {};
    if (process.state() != QProcess::NotRunning) loop.exec();
    if (process.state() != QProcess::NotRunning) process.kill();
    process.waitForFinished();
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardOutput())};
}

} // namespace vex::testing
