#pragma once

#include "platform/runtime/types.h"

#include <cstddef>
#include <iterator>

namespace vex {

// Drawing styles (the Scrolling property). Any value outside 0..9 paints as XPSmooth.
enum ScrollingStyle : Long {
    XPBlocks = 0,
    XPSmooth = 1,
    XPSearching = 2,
    Flat = 3,
    Etched = 4,
    Shaded = 5,
    Dark = 6,
    Hatch = 7,
    Picture = 8,
    Glass = 9,
};

// The XP family comes first; it is the only one that can run vertically.
inline constexpr int kVerticalStyleCount = XPSearching + 1;

struct ScrollingStyleName {
    ScrollingStyle style;
    const char* name;
};

// Every style with its name, in style order, so that kScrollingStyles[s] names style s.
inline constexpr ScrollingStyleName kScrollingStyles[] = {
    {XPBlocks, "XPBlocks"}, {XPSmooth, "XPSmooth"}, {XPSearching, "XPSearching"},
    {Flat, "Flat"},         {Etched, "Etched"},     {Shaded, "Shaded"},
    {Dark, "Dark"},         {Hatch, "Hatch"},       {Picture, "Picture"},
    {Glass, "Glass"},
};

constexpr bool StylesAreInStyleOrder() {
    for (std::size_t i = 0; i < std::size(kScrollingStyles); ++i) {
        if (kScrollingStyles[i].style != static_cast<Long>(i)) return false;
    }
    return std::size(kScrollingStyles) == static_cast<std::size_t>(Glass) + 1;
}
static_assert(StylesAreInStyleOrder(), "kScrollingStyles lists every style once, in order");

} // namespace vex
