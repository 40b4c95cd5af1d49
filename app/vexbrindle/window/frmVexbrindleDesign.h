#pragma once

// The updater window as designed: every position, size, caption, font and colour of
// frmVexbrindle, kept as data so that the window code only builds what this table says.
// Positions and sizes are in twips, as designed; TwipsToPixels turns them into pixels.

#include "platform/runtime/types.h"
#include "updater/FormWindow.h"

#include <array>
#include <span>
#include <variant>

namespace vex::qtui {

// Twips to pixels at 96 dots per inch, rounded half to even; Qt's device-pixel ratio scales
// the result on high-density screens.
int TwipsToPixels(int twips);

// A font as the design names it. A null name means "the window's font" (the platform's
// default user-interface font).
struct FontDesign {
    const char* name = nullptr;
    double points = 0.0;
    int weight = 400;
};

// The window's controls; each has a member of its own in frmVexbrindle.
enum class ControlId { Label1, ProgressBar1, Label2, Label3, lblClose };

// Colour values are the program's 32-bit colours (0x00BBGGRR, or a system colour with bit 31
// set). kDefaultColor means "the platform's usual colour for this element".
inline constexpr Long kDefaultColor = -1;

struct ControlDesign {
    ControlId id;
    const char* name;             // the object name, as assistive technology and tests see it
    int left, top, width, height; // twips
    int tabIndex;
    const char* caption;
    FontDesign font;
    Long backColor;
    Long foreColor;
    bool visible;
};

struct TimerDesign {
    updater::TimerId id;
    const char* name;
    int interval; // milliseconds; 0 = stopped
};

// A stored property of the hosted bar: a number, or a font.
using StoredValue = std::variant<Long, FontDesign>;
struct StoredEntry {
    const char* name;
    StoredValue value;
};

struct WindowDesign {
    const char* name;
    const char* caption;
    int clientWidth, clientHeight; // twips
    Long backColor;
    std::span<const ControlDesign> controls; // in tab order
    std::span<const TimerDesign> timers;
    std::span<const StoredEntry> barEntries; // what the window stores for ProgressBar1
};

const WindowDesign& frmVexbrindleDesign();

// Timer1 follows the transfer component's state: often enough that the status line keeps up
// without a visible delay, rarely enough that a waiting window costs next to nothing (the
// benchmark page has the figures).
inline constexpr int kTimer1Interval = 40;

} // namespace vex::qtui
