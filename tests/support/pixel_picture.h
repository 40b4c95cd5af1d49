#pragma once

// Pixels as tiny ASCII pictures: one character per pixel, one line per row, so that a failing
// pixel test shows what was drawn beside what was expected. A legend maps colours to
// characters; a Canvas is an image with its own DC to draw on.

#include "platform/gdi/gdi.h"

#include <QImage>

#include <algorithm>
#include <initializer_list>
#include <map>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vex::test {

// Colours with one letter each in kLegend, used across the pixel tests.
inline constexpr gdi::COLORREF kWhite = gdi::RGB(255, 255, 255);
inline constexpr gdi::COLORREF kBlack = gdi::RGB(0, 0, 0);
inline constexpr gdi::COLORREF kRed = gdi::RGB(255, 0, 0);
inline constexpr gdi::COLORREF kGreen = gdi::RGB(0, 255, 0);
inline constexpr gdi::COLORREF kBlue = gdi::RGB(0, 0, 255);
inline constexpr gdi::COLORREF kYellow = gdi::RGB(255, 255, 0);

// The pixel at (x, y) as a GDI colour (0x00BBGGRR).
inline gdi::COLORREF ColorAt(const QImage& image, int x, int y) {
    return gdi::BgrColor::FromQRgb(image.pixel(x, y)).Value();
}

// Maps a colour to one character: exact colours first, then colour ranges (every channel
// between the two ends, inclusive) in the order given; '?' for anything else.
class Legend {
  public:
    Legend() = default;
    // Exact colours: {{kWhite, '.'}, {kRed, 'r'}}.
    Legend(std::initializer_list<std::pair<const gdi::COLORREF, char>> exact) : exact_(exact) {}

    Legend& Exact(char c, gdi::COLORREF color) {
        exact_.emplace(color, c);
        return *this;
    }
    Legend& Between(char c, gdi::COLORREF a, gdi::COLORREF b) {
        ranges_.push_back({c, a, b});
        return *this;
    }

    // Distinct exact colours plus ranges.
    std::size_t size() const { return exact_.size() + ranges_.size(); }

    char Classify(gdi::COLORREF color) const {
        if (const auto it = exact_.find(color); it != exact_.end()) return it->second;
        for (const Range& r : ranges_)
            if (Inside(color, r.a, r.b)) return r.c;
        return '?';
    }
    // The exact colour a character stands for (pictures turned back into images).
    gdi::COLORREF ColorOf(char c) const {
        for (const auto& [color, ch] : exact_)
            if (ch == c) return color;
        throw std::out_of_range(std::string("no exact colour for '") + c + "' in the legend");
    }

  private:
    struct Range {
        char c;
        gdi::COLORREF a;
        gdi::COLORREF b;
    };
    static bool Inside(gdi::COLORREF color, gdi::COLORREF a, gdi::COLORREF b) {
        const gdi::BgrColor v(color), ca(a), cb(b);
        const auto within = [](int x, int e1, int e2) {
            return x >= std::min(e1, e2) && x <= std::max(e1, e2);
        };
        return within(v.Red(), ca.Red(), cb.Red()) && within(v.Green(), ca.Green(), cb.Green()) &&
               within(v.Blue(), ca.Blue(), cb.Blue());
    }

    std::map<gdi::COLORREF, char> exact_;
    std::vector<Range> ranges_;
};

// The one-letter colours above.
inline const Legend kLegend = {{kWhite, '.'}, {kBlack, '#'}, {kRed, 'r'},
                               {kGreen, 'g'}, {kBlue, 'b'},  {kYellow, 'y'}};

// A picture's rows joined with '\n'. Compared with a text, one leading '\n' of the text is
// ignored, so that an expected picture can start on the line after R"(.
class AsciiPicture {
  public:
    explicit AsciiPicture(std::string rows) : rows_(std::move(rows)) {}
    const std::string& Rows() const { return rows_; }
    std::size_t find(char c) const { return rows_.find(c); }

    friend bool operator==(const AsciiPicture& a, const AsciiPicture& b) {
        return a.rows_ == b.rows_;
    }
    friend bool operator==(const AsciiPicture& p, std::string_view expected) {
        if (!expected.empty() && expected.front() == '\n') expected.remove_prefix(1);
        return p.rows_ == expected;
    }
    friend void PrintTo(const AsciiPicture& p, std::ostream* os) { *os << '\n' << p.rows_; }

  private:
    std::string rows_;
};

inline AsciiPicture PictureOf(const QImage& image, const Legend& legend) {
    std::string out;
    for (int y = 0; y < image.height(); ++y) {
        if (y > 0) out += '\n';
        for (int x = 0; x < image.width(); ++x)
            out += legend.Classify(ColorAt(image, x, y));
    }
    return AsciiPicture(std::move(out));
}

// An image made from a picture and a legend's exact colours (the inverse of PictureOf). Empty
// lines are skipped, so a raw string literal may start and end with a line break.
inline QImage ImageOf(std::string_view picture, const Legend& legend) {
    std::vector<std::string_view> rows;
    while (!picture.empty()) {
        const std::size_t end = std::min(picture.find('\n'), picture.size());
        if (end > 0) rows.push_back(picture.substr(0, end));
        picture.remove_prefix(std::min(end + 1, picture.size()));
    }
    QImage image(int(rows.at(0).size()), int(rows.size()), QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, gdi::BgrColor(legend.ColorOf(rows[y].at(x))).ToQRgb());
    return image;
}

// Pixels x0..x1-1 of row y, or y0..y1-1 of column x, one legend character each.
inline std::string Row(const QImage& image, int y, int x0, int x1, const Legend& legend) {
    std::string s;
    for (int x = x0; x < x1; ++x)
        s += legend.Classify(ColorAt(image, x, y));
    return s;
}
inline std::string Column(const QImage& image, int x, int y0, int y1, const Legend& legend) {
    std::string s;
    for (int y = y0; y < y1; ++y)
        s += legend.Classify(ColorAt(image, x, y));
    return s;
}

// An image of the given size with its own DC (white unless told otherwise).
class Canvas {
  public:
    Canvas(int width, int height, gdi::COLORREF background = kWhite)
        : image_(width, height, QImage::Format_RGB32) {
        image_.fill(gdi::BgrColor(background).ToQRgb());
        dc_ = gdi::CreateDCForImage(&image_);
    }
    ~Canvas() { gdi::DeleteDC(dc_); }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    gdi::HDC dc() const { return dc_; }
    QImage& image() { return image_; }
    const QImage& image() const { return image_; }
    AsciiPicture Picture(const Legend& legend) const { return PictureOf(image_, legend); }

  private:
    QImage image_;
    gdi::HDC dc_ = 0;
};

} // namespace vex::test
