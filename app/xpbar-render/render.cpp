// One control, painted headless with the properties of the command line.
#include "app/xpbar-render/render.h"

#include "progressbar/StdFont.h"
#include "progressbar/StdPicture.h"
#include "progressbar/headless/HeadlessHost.h"

#include <QSaveFile>

namespace xpbar {

Rendered RenderBar(const Options& o, std::shared_ptr<vex::StdPicture> image) {
    vex::HeadlessHost host(o.width, o.height);
    vex::XP_ProgressBar& bar = host.Control();

    if (!o.fontFamily.isEmpty()) {
        bar.SetFont(std::make_shared<vex::StdFont>(o.fontFamily, o.fontPointSize));
    }
    if (o.min) bar.SetMin(*o.min);
    if (o.max) bar.SetMax(*o.max);
    if (o.brushStyle) bar.SetBrushStyle(*o.brushStyle);
    if (o.color) bar.SetColor(*o.color);
    if (image) bar.SetImage(std::move(image));
    if (o.orientation) bar.SetOrientation(*o.orientation);
    if (o.style) bar.SetScrolling(*o.style);
    if (o.text) bar.SetShowText(vex::kTrue);
    if (o.value) bar.SetValue(*o.value);
    host.Paint();

    Rendered r;
    r.screen = host.Screen().copy();
    if (o.state) r.value = bar.GetValue();
    r.lPercent = bar.StoredPercent();
    return r;
}

QString SaveImage(const QImage& image, const QString& file) {
    if (image.isNull()) return QStringLiteral("the picture is too large to save");
    const char* format = file.toLower().endsWith(".ppm") ? "PPM" : "PNG";
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly)) {
        return QStringLiteral("cannot write '%1': %2").arg(file, out.errorString());
    }
    if (!image.convertToFormat(QImage::Format_RGB888).save(&out, format) || !out.commit()) {
        return QStringLiteral("cannot write '%1': %2").arg(file, out.errorString());
    }
    return {};
}

} // namespace xpbar
