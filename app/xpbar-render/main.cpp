// xpbar-render: paints one progress bar without a window and saves what its own DC shows, or
// writes a contact sheet of every style.
//
// Exit status: 0 done; 1 the control raised an error (overflow, division) or the file could
// not be written; 2 the command line could not be used (bad option, missing value, unreadable
// image).
#include "app/xpbar-render/gallery.h"
#include "app/xpbar-render/options.h"
#include "app/xpbar-render/render.h"

#include "platform/runtime/errors.h"
#include "progressbar/StdPicture.h"

#include <QApplication>
#include <QGuiApplication>

#include <cstdio>
#include <memory>

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

void PrintError(const QString& message) {
    std::fprintf(stderr, "xpbar-render: %s\n", qUtf8Printable(message));
}

// The tool runs without a display: the offscreen platform unless the caller chose one or a
// display is there.
void ChooseOffscreenWithoutDisplay() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
}

// Qt's own notices (a missing runtime folder, font fallbacks) are not the user's business: the
// tool's output is its file and, on failure, one line of its own.
void QuietQtNotices(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg) {
        std::fprintf(stderr, "xpbar-render: %s\n", qUtf8Printable(message));
    }
}

int Run(const xpbar::Options& o) {
    if (!o.galleryDir.isEmpty()) {
        QString written;
        const QString error = xpbar::WriteGallery(o.galleryDir, &written);
        if (!error.isEmpty()) {
            PrintError(error);
            return kExitFailed;
        }
        std::printf("%s\n", qUtf8Printable(written));
        return 0;
    }

    std::shared_ptr<vex::StdPicture> picture;
    if (!o.imageFile.isEmpty()) {
        QString why;
        QImage image = xpbar::LoadImage(o.imageFile, &why);
        if (image.isNull()) {
            PrintError(QStringLiteral("cannot read the image '%1': %2").arg(o.imageFile, why));
            return kExitUsage;
        }
        picture = std::make_shared<vex::StdPicture>(std::move(image));
    }

    xpbar::Rendered rendered;
    try {
        rendered = xpbar::RenderBar(o, std::move(picture));
    } catch (const vex::RuntimeError& e) {
        PrintError(QString::fromUtf8(e.what()));
        return kExitFailed;
    }

    const QString error = xpbar::SaveImage(rendered.screen, o.outFile);
    if (!error.isEmpty()) {
        PrintError(error);
        return kExitFailed;
    }
    if (o.state) std::printf("Value=%d lPercent=%d\n", rendered.value, rendered.lPercent);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    // The arguments are read before Qt sees them: Qt would take options such as --style for
    // itself. Qt gets only the program's name.
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);

    if (args.isEmpty() || args.contains(QStringLiteral("--help"))) {
        std::fputs(xpbar::kUsage, args.isEmpty() ? stderr : stdout);
        return args.isEmpty() ? kExitUsage : 0;
    }

    xpbar::Options options;
    try {
        options = xpbar::ParseOptions(args);
    } catch (const xpbar::UsageError& e) {
        PrintError(QString::fromUtf8(e.what()));
        return kExitUsage;
    }

    ChooseOffscreenWithoutDisplay();
    qInstallMessageHandler(QuietQtNotices);
    int qtArgc = 1;
    // The gallery's state sheets are drawn by widgets, which need a QApplication; one bar needs
    // only the GUI module.
    std::unique_ptr<QGuiApplication> app;
    if (options.galleryDir.isEmpty())
        app = std::make_unique<QGuiApplication>(qtArgc, argv);
    else
        app = std::make_unique<QApplication>(qtArgc, argv);
    return Run(options);
}
