// The command line of xpbar-render.
#include "app/xpbar-render/options.h"

#include <QStringList>

#include <limits>

namespace xpbar {

const char* const kUsage =
    "usage: xpbar-render --width W --height H [--style N] [--value V] [--min N] [--max N]\n"
    "                    [--orientation N] [--text] [--color C] [--brush-style N]\n"
    "                    [--image FILE] [--font \"Family,PointSize\"] --out FILE.png|FILE.ppm "
    "[--state]\n"
    "       xpbar-render --gallery DIR\n";

namespace {

constexpr qint64 kLongMin = std::numeric_limits<Long>::min();
constexpr qint64 kLongMax = std::numeric_limits<Long>::max();
constexpr qint64 kColorMax = 0xFFFFFFFFLL; // colours may be written as unsigned 32-bit values

UsageError BadValue(const QString& option, const QString& text, const char* what) {
    return UsageError(QStringLiteral("%1: '%2' is not %3").arg(option, text, what).toStdString());
}

qint64 ParseInteger(const QString& option, const QString& text, bool allowHex, qint64 low,
                    qint64 high, const char* what) {
    const QString t = text.trimmed();
    bool ok = false;
    qint64 v = 0;
    if (allowHex && (t.startsWith("0x") || t.startsWith("0X"))) {
        v = t.mid(2).toLongLong(&ok, 16);
        if (t.size() == 2 || t.mid(2).startsWith('-') || t.mid(2).startsWith('+')) ok = false;
    } else {
        v = t.toLongLong(&ok, 10);
    }
    if (!ok || v < low || v > high) throw BadValue(option, text, what);
    return v;
}

Long ParseLong(const QString& option, const QString& text) {
    return static_cast<Long>(
        ParseInteger(option, text, false, kLongMin, kLongMax, "a 32-bit integer"));
}

int ParseSize(const QString& option, const QString& text) {
    return static_cast<int>(ParseInteger(option, text, false, 1, kLongMax, "a positive size"));
}

} // namespace

Long ParseColor(const QString& option, const QString& text) {
    const qint64 v = ParseInteger(option, text, true, kLongMin, kColorMax, "a colour");
    return static_cast<Long>(static_cast<quint32>(v));
}

Options ParseOptions(const QStringList& args) {
    Options o;
    bool haveWidth = false;
    bool haveHeight = false;

    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& name = args[i];
        auto value = [&]() -> QString {
            if (i + 1 >= args.size()) {
                throw UsageError(QStringLiteral("%1 needs a value").arg(name).toStdString());
            }
            return args[++i];
        };

        if (name == "--width") {
            o.width = ParseSize(name, value());
            haveWidth = true;
        } else if (name == "--height") {
            o.height = ParseSize(name, value());
            haveHeight = true;
        } else if (name == "--style") {
            o.style = ParseLong(name, value());
        } else if (name == "--value") {
            o.value = ParseLong(name, value());
        } else if (name == "--min") {
            o.min = ParseLong(name, value());
        } else if (name == "--max") {
            o.max = ParseLong(name, value());
        } else if (name == "--orientation") {
            o.orientation = ParseLong(name, value());
        } else if (name == "--text") {
            o.text = true;
        } else if (name == "--color") {
            o.color = ParseColor(name, value());
        } else if (name == "--brush-style") {
            o.brushStyle = ParseLong(name, value());
        } else if (name == "--image") {
            o.imageFile = value();
        } else if (name == "--font") {
            const QString fontArg = value();
            const qsizetype comma = fontArg.lastIndexOf(',');
            bool ok = false;
            const double size = comma > 0 ? fontArg.mid(comma + 1).trimmed().toDouble(&ok) : 0.0;
            if (!ok || !(size > 0) || size > 1000) {
                throw BadValue(name, fontArg, "\"Family,PointSize\" with a positive point size");
            }
            o.fontFamily = fontArg.left(comma).trimmed();
            o.fontPointSize = size;
        } else if (name == "--out") {
            o.outFile = value();
        } else if (name == "--state") {
            o.state = true;
        } else if (name == "--gallery") {
            o.galleryDir = value();
            if (o.galleryDir.isEmpty()) throw UsageError("--gallery needs a folder");
        } else {
            throw UsageError(QStringLiteral("unknown option '%1'").arg(name).toStdString());
        }
    }

    if (!o.galleryDir.isEmpty()) return o;
    if (!haveWidth || !haveHeight) throw UsageError("--width and --height are required");
    if (o.outFile.isEmpty()) throw UsageError("--out FILE.png|FILE.ppm is required");
    const QString lower = o.outFile.toLower();
    if (!lower.endsWith(".png") && !lower.endsWith(".ppm")) {
        throw UsageError(
            QStringLiteral("--out: '%1' must end in .png or .ppm").arg(o.outFile).toStdString());
    }
    return o;
}

} // namespace xpbar
