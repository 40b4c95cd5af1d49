// The 0x00BBGGRR colour and its conversions to and from Qt's 0xAARRGGBB.

#include "platform/gdi/color.h"
#include "platform/gdi/gdi.h"

#include <gtest/gtest.h>

namespace gdi::test {
namespace {

TEST(BgrColor, ChannelsAndQtConversions) {
    struct Case {
        const char* what;
        Long value;
        int red, green, blue;
        QRgb qrgb;
    } const cases[] = {
        {"black", 0x000000, 0, 0, 0, 0xFF000000},
        {"white", 0xFFFFFF, 255, 255, 255, 0xFFFFFFFF},
        {"red is the low byte", 0x0000FF, 255, 0, 0, 0xFFFF0000},
        {"green is the middle byte", 0x00FF00, 0, 255, 0, 0xFF00FF00},
        {"blue is the third byte", 0xFF0000, 0, 0, 255, 0xFF0000FF},
        {"channels do not mix", 0x123456, 0x56, 0x34, 0x12, 0xFF563412},
        {"bits 24-30 are not part of the colour", 0x7F102030, 0x30, 0x20, 0x10, 0xFF302010},
        {"bit 31 is dropped, not sign-extended", static_cast<Long>(0x80C0FFEE), 0xEE, 0xFF, 0xC0,
         0xFFEEFFC0},
    };
    for (const Case& c : cases) {
        const BgrColor color(c.value);
        EXPECT_EQ(color.Red(), c.red) << c.what;
        EXPECT_EQ(color.Green(), c.green) << c.what;
        EXPECT_EQ(color.Blue(), c.blue) << c.what;
        EXPECT_EQ(color.ToQRgb(), c.qrgb) << c.what;
        EXPECT_EQ(color.ToQColor(), QColor::fromRgb(c.qrgb)) << c.what;
        EXPECT_EQ(color.Value(), c.value & 0xFFFFFF) << c.what;
        EXPECT_EQ(BgrColor::FromQRgb(c.qrgb), color) << c.what << ": back from Qt";
        EXPECT_EQ(BgrColor::FromQColor(color.ToQColor()), color) << c.what << ": back from QColor";
        EXPECT_EQ(BgrColor::FromRgb(c.red, c.green, c.blue), color) << c.what;
        EXPECT_EQ(BgrColor::FromRgb(c.red, c.green, c.blue).Value(), RGB(c.red, c.green, c.blue))
            << c.what << ": as the RGB macro composes it";
    }
}

TEST(BgrColor, QtAlphaIsDropped) {
    EXPECT_EQ(BgrColor::FromQRgb(qRgba(10, 20, 30, 0)).Value(), RGB(10, 20, 30));
    EXPECT_EQ(BgrColor::FromQColor(QColor(10, 20, 30, 128)).Value(), RGB(10, 20, 30));
}

} // namespace
} // namespace gdi::test
