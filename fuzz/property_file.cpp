// The control's property file: read, loaded into a control, painted and saved. Whatever the
// reader accepts writes back to JSON that reads again to the same text, and whatever a control
// saves, a new control loads and saves unchanged.
#include "fuzz/check.h"

#include "platform/runtime/errors.h"
#include "progressbar/PropertyBag.h"
#include "progressbar/headless/HeadlessHost.h"

#include <QByteArray>
#include <QGuiApplication>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using vex::HeadlessHost;
using vex::PropertyBag;

namespace {

QByteArray Saved(HeadlessHost& host) {
    PropertyBag bag;
    host.Control().SaveProperties(bag);
    return bag.ToJson();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    // Fonts and pictures need a GUI application; no display is needed for painting into images.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    PropertyBag bag;
    try {
        bag = PropertyBag::FromJson(input);
    } catch (const vex::PropertyError&) {
        return 0;
    }

    const QByteArray json = bag.ToJson();
    try {
        FUZZ_CHECK(PropertyBag::FromJson(json).ToJson() == json,
                   "a written file reads back changed");
    } catch (const vex::PropertyError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        FUZZ_CHECK(false, "a written file cannot be read back");
    }

    HeadlessHost first(37, 11);
    try {
        first.Control().LoadProperties(bag);
        first.Paint();
    } catch (const vex::RuntimeError&) {
        return 0; // a value the control refuses (overflow, wrong kind) is a reported error
    }
    const QByteArray saved = Saved(first);

    HeadlessHost second(37, 11);
    try {
        second.Control().LoadProperties(PropertyBag::FromJson(saved));
        second.Paint();
    } catch (const vex::RuntimeError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        FUZZ_CHECK(false, "what a control saved, another cannot load");
    }
    FUZZ_CHECK(Saved(second) == saved, "a control saves differently what it loaded");
    FUZZ_CHECK(second.Screen() == first.Screen(), "a reloaded control paints differently");
    return 0;
}
