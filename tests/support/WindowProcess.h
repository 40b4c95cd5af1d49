#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

namespace vex::testing {

// Starts the updater as a real X client on the test's X server against the given update server,
// with no automatic answers; its output goes to the test's own.
inline void StartOnDisplay(QProcess& updater, const QString& program, const QString& display,
                           const QString& serverUrl) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display);
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("VEXBRINDLE_SERVER_URL", serverUrl);
    env.remove("VEXBRINDLE_AUTO_ANSWER");
    updater.setProcessEnvironment(env);
    updater.setProcessChannelMode(QProcess::ForwardedChannels);
    updater.start(program, {});
}

} // namespace vex::testing
