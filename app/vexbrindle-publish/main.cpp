// vexbrindle-publish: the vendor's release tool. Writes a new release of Drixa Billing into the
// folder the update server serves, in the form the updater reads, checked before it shows.
//
// Exit status: 0 published; 1 failed or refused, the site as it was; 2 a command line that
// cannot be used.
#include "app/vexbrindle-publish/Interruption.h"
#include "app/vexbrindle-publish/Options.h"
#include "app/vexbrindle-publish/Progress.h"
#include "app/vexbrindle-publish/Publish.h"
#include "app/vexbrindle-publish/VersionCheck.h"

#include "platform/runtime/program.h"

#include <QLocale>

#include <cstdio>
#include <unistd.h>

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

void PrintError(const QString& message) {
    std::fprintf(stderr, "vexbrindle-publish: %s\n", qUtf8Printable(message));
}

void PrintSummary(const vex::publish::Options& o, const vex::publish::Report& report) {
    std::printf("Published %s in %s:\n", qUtf8Printable(o.version), qUtf8Printable(o.site));
    const QLocale c = QLocale::c();
    for (const auto& file : report.written) {
        const QString note =
            file.note.isEmpty() ? QString() : QStringLiteral("  (%1)").arg(file.note);
        std::printf("  %13s bytes  %s%s\n", qUtf8Printable(c.toString(file.size)),
                    qUtf8Printable(file.relative), qUtf8Printable(note));
    }
    for (const QString& relative : report.removed)
        std::printf("Removed %s\n", qUtf8Printable(relative));
}

} // namespace

int main(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);

    vex::publish::Options options;
    try {
        options = vex::publish::ParseOptions(args);
    } catch (const vex::publish::UsageError& e) {
        PrintError(QString::fromStdString(e.what()));
        std::fputs("Try 'vexbrindle-publish --help' for more information.\n", stderr);
        return kExitUsage;
    }
    if (options.help) {
        std::fputs(vex::publish::kUsage, stdout);
        return 0;
    }
    if (options.showVersion) {
        std::printf("vexbrindle-publish %s\n", qUtf8Printable(vex::runtime::OwnVersionText()));
        return 0;
    }
    const QString unpublishable = vex::publish::WhyNotPublishable(options.version);
    if (!unpublishable.isEmpty()) {
        PrintError(unpublishable);
        return kExitUsage;
    }

    vex::publish::CatchInterruptions();
    vex::publish::Progress progress(stderr, ::isatty(STDERR_FILENO) == 1);
    vex::publish::Report report;
    QString why;
    if (!vex::publish::Publish(options, progress, report, why)) {
        PrintError(why + QStringLiteral("; nothing was published"));
        return kExitFailed;
    }
    PrintSummary(options, report);
    if (!report.warning.isEmpty()) PrintError(report.warning);
    return 0;
}
