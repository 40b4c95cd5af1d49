#pragma once

#include "app/xpbar-render/options.h"

#include <QImage>
#include <QString>

#include <memory>

namespace vex {
class StdPicture;
}

namespace xpbar {

// The result of painting one control: what its own DC shows, and its state afterwards.
struct Rendered {
    QImage screen;
    Long value = 0;    // Value get
    Long lPercent = 0; // the stored percentage
};

// Creates the control at the options' size, applies the given properties through their setters
// (Min, Max, BrushStyle, Color, Image, Orientation, Scrolling, ShowText, then Value), paints
// once more and returns the picture. Errors of the control (vex::RuntimeError) propagate.
Rendered RenderBar(const Options& options, std::shared_ptr<vex::StdPicture> image);

// Reads the image in exactly the named file, which must be a regular file: no other name is
// tried, and a FIFO, device or folder is refused without being read. A null image and the
// reason in *error when it cannot be used.
QImage LoadImage(const QString& file, QString* error);

// Writes the image as PNG or binary PPM, chosen by the file's extension, replacing whatever
// stands at the name (a symbolic link or device included, never written through) only once the
// whole image is written. Returns an error message, empty on success.
QString SaveImage(const QImage& image, const QString& file);

} // namespace xpbar
