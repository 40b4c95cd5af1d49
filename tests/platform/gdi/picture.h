#pragma once

// Tiny ASCII pictures of pixels: one character per pixel, one line per row, so that a failing
// test shows what was drawn beside what was expected.

#include "platform/gdi/gdi.h"

#include <QImage>

#include <map>
#include <string>
#include <vector>

namespace gdi::test {

using Legend = std::map<COLORREF, char>;

inline COLORREF ColorAt(const QImage& image, int x, int y) {
    return BgrColor::FromQRgb(image.pixel(x, y)).Value();
}

inline QRgb ToQRgb(COLORREF c) {
    return BgrColor(c).ToQRgb();
}

// Rows joined with '\n' (and a leading '\n', to line up with raw string literals); a colour
// missing from the legend shows as '?'.
inline std::string PictureOf(const QImage& image, const Legend& legend) {
    std::string out;
    for (int y = 0; y < image.height(); ++y) {
        out += '\n';
        for (int x = 0; x < image.width(); ++x) {
            const auto it = legend.find(ColorAt(image, x, y));
            out += it == legend.end() ? '?' : it->second;
        }
    }
    return out;
}

// An image made from a picture and a legend (the inverse of PictureOf).
inline QImage ImageOf(const std::string& picture, const Legend& legend) {
    std::map<char, COLORREF> colors;
    for (const auto& [color, ch] : legend)
        colors[ch] = color;
    std::vector<std::string> rows;
    std::string row;
    for (char ch : picture) {
        if (ch == '\n') {
            if (!row.empty()) rows.push_back(row);
            row.clear();
        } else {
            row += ch;
        }
    }
    if (!row.empty()) rows.push_back(row);
    QImage image(int(rows.at(0).size()), int(rows.size()), QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, ToQRgb(colors.at(rows[y][x])));
    }
    return image;
}

// An image of the given size with its own DC (white unless told otherwise).
class Canvas {
  public:
    Canvas(int width, int height, COLORREF background = RGB(255, 255, 255))
        : image_(width, height, QImage::Format_RGB32) {
        image_.fill(ToQRgb(background));
        dc_ = CreateDCForImage(&image_);
    }
    ~Canvas() { DeleteDC(dc_); }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC dc() const { return dc_; }
    QImage& image() { return image_; }
    std::string Picture(const Legend& legend) const { return PictureOf(image_, legend); }

  private:
    QImage image_;
    HDC dc_ = 0;
};

// Colours with one letter each, used across the pixel tests.
inline constexpr COLORREF kWhite = RGB(255, 255, 255);
inline constexpr COLORREF kBlack = RGB(0, 0, 0);
inline constexpr COLORREF kRed = RGB(255, 0, 0);
inline constexpr COLORREF kGreen = RGB(0, 255, 0);
inline constexpr COLORREF kBlue = RGB(0, 0, 255);
inline constexpr COLORREF kYellow = RGB(255, 255, 0);

inline const Legend kLegend = {{kWhite, '.'}, {kBlack, '#'}, {kRed, 'r'},
                               {kGreen, 'g'}, {kBlue, 'b'},  {kYellow, 'y'}};

} // namespace gdi::test
