// One control, painted headless with the properties of the command line.
#include "app/xpbar-render/render.h"

#include "progressbar/StdFont.h"
#include "progressbar/StdPicture.h"
#include "progressbar/headless/HeadlessHost.h"

#include "platform/runtime/ReplacingFile.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

QImage LoadImage(const QString& file, QString* error) {
    const QByteArray name = QFile::encodeName(file);
    struct stat st {};
    if (::stat(name.constData(), &st) != 0) {
        *error = qt_error_string(errno);
        return {};
    }
    if (!S_ISREG(st.st_mode)) {
        *error = QStringLiteral("not a regular file");
        return {};
    }
    // The name may have been swapped since stat: open without waiting (a FIFO would block
    // forever) and look again at what was opened.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        *error = qt_error_string(errno);
        return {};
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        *error = QStringLiteral("not a regular file");
        return {};
    }
    QFile opened;
    if (!opened.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        *error = opened.errorString();
        return {};
    }
    // Read from the opened file, not by name: a reader given a name tries other names too.
    QImageReader reader(&opened);
    QImage image = reader.read();
    if (image.isNull()) *error = reader.errorString();
    return image;
}

QString SaveImage(const QImage& image, const QString& file) {
    if (image.isNull()) return QStringLiteral("the picture is too large to save");
    const char* format = file.toLower().endsWith(".ppm") ? "PPM" : "PNG";
    // A link or device at the name is replaced by the new file, never written through.
    vex::runtime::ReplacingFile out(file);
    if (!out.open(QIODevice::WriteOnly)) return out.errorString();
    // Encoded in memory first: Qt's encoders leak their line buffer when a write to the file
    // fails halfway (a full disk), and the file then gets one write whose failure we report.
    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    if (!image.convertToFormat(QImage::Format_RGB888).save(&buffer, format)) {
        return QStringLiteral("Cannot write %1: the image could not be encoded").arg(file);
    }
    if (out.write(encoded) != encoded.size() || !out.commit()) return out.errorString();
    return {};
}

} // namespace xpbar
