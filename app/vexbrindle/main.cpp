// vexbrindle: checks the update server for a newer Drixa Billing and downloads it.
#include "app/vexbrindle/console/TerminalText.h"
#include "app/vexbrindle/front_ends.h"

#include "platform/runtime/program.h"
#include "platform/runtime/termination.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

constexpr const char* kUsage =
    "Usage: vexbrindle [--console] [--yes]\n"
    "Checks the update server for a newer version of Drixa Billing and downloads it into the\n"
    "program's folder.\n"
    "\n"
    "  --console   run in the terminal instead of a window (the default when no display is\n"
    "              available)\n"
    "  --yes       answer Yes when asked whether to restart Drixa Billing\n"
    "  --help      show this help and exit\n"
    "  --version   show the version and exit\n"
    "\n"
    "The update server is taken from the environment variable VEXBRINDLE_SERVER_URL\n"
    "(for example http://127.0.0.1:8080) when it is set.\n";

bool StartsWith(const char* text, std::string_view prefix) {
    return text && std::string_view(text).substr(0, prefix.size()) == prefix;
}

// A display is there when X11 or Wayland is named and Qt has not been told to draw nowhere.
bool DisplayAvailable() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (StartsWith(platform, "offscreen") || StartsWith(platform, "minimal")) return false;
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 && *x11) || (wayland && *wayland);
}

} // namespace

int main(int argc, char** argv) {
    // Ctrl+C or SIGTERM during start-up, before a front end routes them, ends the program too.
    vex::EndOnTerminationSignals();
    FrontEndOptions options;
    bool bConsole = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--console") {
            bConsole = true;
        } else if (arg == "--yes" || arg == "-y") {
            options.bAssumeYes = true;
        } else if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--version") {
            std::printf("vexbrindle %s\n", qPrintable(vex::runtime::OwnVersionText()));
            return 0;
        } else {
            // Shown escaped: a pasted argument may carry terminal control sequences.
            std::fprintf(stderr,
                         "vexbrindle: unknown option '%s'\nTry 'vexbrindle --help' for more "
                         "information.\n",
                         qPrintable(ForTerminal(QString::fromLocal8Bit(argv[i]))));
            return 2;
        }
    }
    // Only our own options are accepted above, so Qt sees just the program name.
    int qtArgc = 1;
    if (bConsole || !DisplayAvailable()) return RunConsoleFrontEnd(qtArgc, argv, options);
    return RunWindowFrontEnd(qtArgc, argv, options);
}
