#pragma once

#include <QString>

namespace vex::testing {

// What a run of the terminal front end printed on standard output, and how it ended (-1 when
// it crashed or hung).
struct ConsoleRun {
    int exitCode = -1;
    QString out;
};

// Runs the installed copy `folder`/vexbrindle with --console against serverUrl, its standard
// input closed and no display, while this process's event loop keeps turning so that a server
// in this process can answer. A run that has not ended after two minutes is killed.
ConsoleRun RunConsole(const QString& folder, const QString& serverUrl);

} // namespace vex::testing
