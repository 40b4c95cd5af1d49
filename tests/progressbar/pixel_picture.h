#pragma once

// Pixels as small ASCII pictures, one character per pixel and one row per line, so that a
// failing pixel test shows what was drawn next to what was expected.
#include "platform/gdi/gdi.h"

#include <QImage>

#include <map>
#include <string>

namespace vex::test {

// The pixel at (x, y) as a GDI colour (0x00BBGGRR).
inline gdi::COLORREF ColorAt(const QImage& image, int x, int y) {
    return gdi::BgrColor::FromQRgb(image.pixel(x, y)).Value();
}

// Rows joined with '\n'; a colour missing from the legend shows as '?'.
inline std::string PictureOf(const QImage& image, const std::map<gdi::COLORREF, char>& legend) {
    std::string out;
    for (int y = 0; y < image.height(); ++y) {
        if (y > 0) out += '\n';
        for (int x = 0; x < image.width(); ++x) {
            const auto it = legend.find(ColorAt(image, x, y));
            out += it == legend.end() ? '?' : it->second;
        }
    }
    return out;
}

// An image with its own DC, for drawing tests that need no control.
class Canvas {
  public:
    Canvas(int width, int height, gdi::COLORREF background = 0xFFFFFF)
        : image_(width, height, QImage::Format_RGB32) {
        image_.fill(gdi::BgrColor(background).ToQRgb());
        dc_ = gdi::CreateDCForImage(&image_);
    }
    ~Canvas() { gdi::DeleteDC(dc_); }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    gdi::HDC dc() const { return dc_; }
    const QImage& image() const { return image_; }
    std::string Picture(const std::map<gdi::COLORREF, char>& legend) const {
        return PictureOf(image_, legend);
    }

  private:
    QImage image_;
    gdi::HDC dc_ = 0;
};

} // namespace vex::test
