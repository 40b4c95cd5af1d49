// Colour helpers, fills, frames, lines and the line-by-line gradient. Every pen and brush made
// here is deleted before returning, after the DC got its previous object back.
#include "progressbar/primitives.h"

#include "platform/gdi/selected_object.h"
#include "platform/runtime/arith.h"
#include "progressbar/XP_ProgressBar.h"

#include <algorithm>
#include <array>

namespace vex {

namespace {

constexpr Long kSystemColorBit = static_cast<Long>(0x80000000);
constexpr Long kChannelMax = 255;

Long ComposeRGB(Long red, Long green, Long blue) {
    return Add(Add(red, Mul(256, green)), Mul(65536, blue));
}

// Red, green and blue of an RGB colour.
std::array<Long, 3> ChannelsOf(Long color) {
    const gdi::BgrColor c(color);
    return {c.Red(), c.Green(), c.Blue()};
}

// Runs one step of the gradient; its own run-time errors are dropped and the next step runs.
template <typename Step> void IgnoringErrors(Step step) {
    try {
        step();
    } catch (const RuntimeError&) {
    }
}

// CLng without the library call, for the values a gradient step computes. Adding and taking
// away 1.5 * 2^52 leaves the nearest integer, ties to even, in the default rounding mode, as
// CLng rounds; it holds for magnitudes below 2^51. False for a value that far (or NaN): that
// one goes through CLng, which also raises its error.
constexpr double kRoundingBias = 6755399441055744.0; // 1.5 * 2^52
constexpr double kQuickRoundLimit = 1073741824.0;    // 2^30: the result fits a Long

bool RoundQuickly(double v, Long& result) {
    if (!(v > -kQuickRoundLimit && v < kQuickRoundLimit)) return false;
    result = static_cast<Long>((v + kRoundingBias) - kRoundingBias);
    return true;
}

// A channel of one gradient step: `previous` stays when CLng raises its error. The error
// paths are kept out of the loop, which then keeps its values in registers.
[[gnu::noinline]] Long RoundChannelSlowly(double exact, Long previous) {
    IgnoringErrors([&] { previous = CLng(exact); });
    return previous;
}

Long RoundChannel(double exact, Long previous) {
    Long rounded;
    return RoundQuickly(exact, rounded) ? rounded : RoundChannelSlowly(exact, previous);
}

// The colour of one gradient step: `previous` stays when composing it overflows.
[[gnu::noinline]] Long ComposeSlowly(Long red, Long green, Long blue, Long previous) {
    IgnoringErrors([&] { previous = ComposeRGB(red, green, blue); });
    return previous;
}

Long ComposeChannels(Long red, Long green, Long blue, Long previous) {
    const auto isChannel = [](Long v) { return v >= 0 && v <= kChannelMax; };
    // Channels of 0..255 compose without any chance of overflow.
    if (isChannel(red) && isChannel(green) && isChannel(blue)) {
        return red | green << 8 | blue << 16;
    }
    return ComposeSlowly(red, green, blue, previous);
}

} // namespace

Long ResolveSystemColor(Long color) {
    return gdi::GetSysColor(color & ~kSystemColorBit);
}

Long LightenColor(Long color, Long amount) {
    const Long channels[3] = {color & 0xFF, Mod(IntDiv(color, 256), 256),
                              Mod(IntDiv(color, 65536), 256)};
    Long lit[3];
    for (int i = 0; i < 3; ++i) {
        const Long c = Add(IntDiv(Mul(Sub(kChannelMax, amount), channels[i]), kChannelMax), amount);
        lit[i] = std::min(c, kChannelMax);
    }
    return ComposeRGB(lit[0], lit[1], lit[2]);
}

Long BlendColors(Long a, Long b, Long weightA) {
    const std::array<Long, 3> channelsA = ChannelsOf(ResolveColor(a));
    const std::array<Long, 3> channelsB = ChannelsOf(ResolveColor(b));
    Long mixed[3];
    for (int i = 0; i < 3; ++i) {
        const Long ca = channelsA[i];
        const Long cb = channelsB[i];
        const double fromB = static_cast<double>(Mul(Sub(kChannelMax, weightA), cb)) / 255.0;
        const double fromA = static_cast<double>(Mul(ca, weightA)) / 255.0;
        mixed[i] = CLng(fromB + fromA);
    }
    return ComposeRGB(mixed[0], mixed[1], mixed[2]);
}

void FillSolid(const gdi::Rect& rc, Long color, gdi::HDC hdc) {
    const gdi::HBRUSH brush = gdi::CreateSolidBrush(ResolveColor(color));
    gdi::FillRect(hdc, rc, brush);
    gdi::DeleteObject(brush);
}

void DrawFrameRect(const gdi::Rect& rc, Long color, gdi::HDC hdc) {
    const gdi::HBRUSH brush = gdi::CreateSolidBrush(color);
    gdi::FrameRect(hdc, rc, brush);
    gdi::DeleteObject(brush);
}

namespace {

// A line in a pen of its own, made, selected, deselected and deleted around it. Inline: the
// gradient draws one per pixel column.
[[gnu::always_inline]] inline void LineWithOwnPen(Long X, Long Y, Long Width, Long Height,
                                                  gdi::HDC hdc, Long color) {
    const gdi::HPEN pen = gdi::CreatePen(gdi::PS_SOLID, 1, ResolveColor(color));
    {
        const gdi::SelectedObject selected(hdc, pen);
        gdi::MoveToEx(hdc, X, Y, nullptr);
        gdi::LineTo(hdc, Width, Height);
    }
    gdi::DeleteObject(pen);
}

} // namespace

// (Width, Height) is the end point, not a size; the end pixel is not drawn.
bool XP_ProgressBar::DrawLine(Long X, Long Y, Long Width, Long Height, Long cHdc, Long Color) {
    LineWithOwnPen(X, Y, Width, Height, cHdc, Color);
    return true;
}

// One line per step from lEndColor (at X or Y) to lStartcolor (span steps further). With bH
// the band is vertical lines in columns X..X+X2 ending before row Y2; without, horizontal lines
// in rows Y..Y+Y2 ending before column X2. Its own errors never reach the caller: a span of 0
// draws one line in lEndColor, a negative span nothing, and a line whose coordinates overflow
// is skipped.
bool XP_ProgressBar::DrawGradient(Long& lEndColor, Long& lStartcolor, Long X, Long Y, Long X2,
                                  Long Y2, Long hDc, Boolean bH) {
    lEndColor = ResolveColor(lEndColor);
    lStartcolor = ResolveColor(lStartcolor);

    // Both colours are resolved, so bit 31 is clear and the channels are the low three bytes.
    auto channelsOf = [](Long c) {
        const std::array<Long, 3> bytes = ChannelsOf(c);
        return std::array<float, 3>{static_cast<float>(bytes[0]), static_cast<float>(bytes[1]),
                                    static_cast<float>(bytes[2])};
    };
    const std::array<float, 3> start = channelsOf(lStartcolor);
    const std::array<float, 3> end = channelsOf(lEndColor);

    const bool horizontal = IsTrue(bH);
    const Long span = horizontal ? X2 : Y2;

    // A failed division (span 0) leaves that channel's step at 0.
    std::array<float, 3> delta{0.0f, 0.0f, 0.0f};
    for (int c = 0; c < 3; ++c) {
        IgnoringErrors([&] {
            delta[c] = static_cast<float>(Divide(static_cast<double>(start[c] - end[c]), span));
        });
    }

    // Lines that fall wholly outside the target's pixels change nothing; leaving them out keeps
    // a huge span from running for minutes. A DC without pixels (a bad handle) gets no lines.
    const QImage* target = gdi::ImageOfDC(hDc);
    if (target == nullptr) return true;
    const long long origin = horizontal ? X : Y;
    const long long extent = horizontal ? target->width() : target->height();
    const long long first = std::max<long long>(0, -origin);
    const long long last = std::min<long long>(span, extent - 1 - origin);

    const double endOf[3] = {end[0], end[1], end[2]};
    const double deltaOf[3] = {delta[0], delta[1], delta[2]};
    Long red = 0, green = 0, blue = 0;
    Long color = 0;
    for (long long step = first; step <= last; ++step) {
        const Long i = static_cast<Long>(step);
        const double at = static_cast<double>(i);
        red = RoundChannel(endOf[0] + deltaOf[0] * at, red);
        green = RoundChannel(endOf[1] + deltaOf[1] * at, green);
        blue = RoundChannel(endOf[2] + deltaOf[2] * at, blue);
        color = ComposeChannels(red, green, blue, color);
        // A line whose coordinate overflows is skipped.
        Long moved;
        if (__builtin_add_overflow(horizontal ? X : Y, i, &moved)) continue;
        IgnoringErrors([&] {
            if (horizontal) {
                LineWithOwnPen(moved, Y, moved, Y2, hDc, color);
            } else {
                LineWithOwnPen(X, moved, X2, moved, hDc, color);
            }
        });
    }
    return true;
}

} // namespace vex
