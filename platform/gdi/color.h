#pragma once

// The one place where a colour of the 0x00BBGGRR layout (red in the low byte, as GDI and the
// control hold colours) is taken apart or put together for Qt, whose QRgb is 0xAARRGGBB. Bits
// 24-31 are not part of the colour: a system-colour code has to be resolved before it gets here.

#include "platform/runtime/types.h"

#include <QColor>
#include <QRgb>

#include <cstdint>

namespace gdi {

class BgrColor {
  public:
    constexpr BgrColor() = default;
    // Bits 24-31 of `value` are dropped.
    constexpr explicit BgrColor(vex::Long value)
        : value_(static_cast<std::uint32_t>(value) & 0xFFFFFFu) {}
    static constexpr BgrColor FromRgb(int red, int green, int blue) {
        return BgrColor(
            static_cast<vex::Long>((red & 0xFF) | (green & 0xFF) << 8 | (blue & 0xFF) << 16));
    }
    // Alpha is dropped: GDI colours are opaque.
    static constexpr BgrColor FromQRgb(QRgb rgb) {
        return FromRgb(qRed(rgb), qGreen(rgb), qBlue(rgb));
    }
    static BgrColor FromQColor(const QColor& color) { return FromQRgb(color.rgb()); }

    constexpr int Red() const { return static_cast<int>(value_ & 0xFFu); }
    constexpr int Green() const { return static_cast<int>((value_ >> 8) & 0xFFu); }
    constexpr int Blue() const { return static_cast<int>((value_ >> 16) & 0xFFu); }

    constexpr vex::Long Value() const { return static_cast<vex::Long>(value_); }
    // Opaque, as every pixel of a Format_RGB32 image is.
    constexpr QRgb ToQRgb() const {
        return 0xFF000000u | (value_ & 0xFFu) << 16 | (value_ & 0xFF00u) | ((value_ >> 16) & 0xFFu);
    }
    QColor ToQColor() const { return QColor(ToQRgb()); }

    friend constexpr bool operator==(BgrColor, BgrColor) = default;

  private:
    std::uint32_t value_ = 0;
};

} // namespace gdi
