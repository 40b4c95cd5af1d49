// xpbar-render's command line: arguments separated by NUL bytes. A line is either refused with
// a usage error or gives options the tool can use; a small bar is then painted with them.
#include "fuzz/check.h"

#include "app/xpbar-render/options.h"
#include "app/xpbar-render/render.h"

#include "platform/runtime/errors.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QStringList args;
    for (const QByteArray& arg : input.split('\0'))
        args << QString::fromUtf8(arg);

    xpbar::Options o;
    try {
        o = xpbar::ParseOptions(args);
    } catch (const xpbar::UsageError&) {
        return 0;
    }
    if (!o.galleryDir.isEmpty()) return 0;
    FUZZ_CHECK(o.width > 0 && o.height > 0, "a size without pixels accepted");
    const QString out = o.outFile.toLower();
    FUZZ_CHECK(out.endsWith(".png") || out.endsWith(".ppm"), "an output of no known kind");
    FUZZ_CHECK(o.fontFamily.isEmpty() || (o.fontPointSize > 0 && o.fontPointSize <= 1000),
               "a font size out of range");

    // Painting is the tool's next step; sizes stay small so that each input runs fast.
    if (o.width > 64 || o.height > 64) return 0;
    o.imageFile.clear();
    try {
        const xpbar::Rendered r = xpbar::RenderBar(o, nullptr);
        FUZZ_CHECK(r.screen.width() == o.width && r.screen.height() == o.height,
                   "the picture is not the size asked for");
    } catch (const vex::RuntimeError&) {
        // Overflow or division by zero in the control: the tool reports it and exits 1.
    }
    return 0;
}
