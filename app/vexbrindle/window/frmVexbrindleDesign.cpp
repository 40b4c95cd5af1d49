#include "app/vexbrindle/window/frmVexbrindleDesign.h"

#include "platform/gdi/twips.h"
#include "platform/runtime/arith.h"

namespace vex::qtui {

int TwipsToPixels(int twips) {
    return CLng(static_cast<double>(twips) / gdi::kTwipsPerPixel);
}

namespace {

constexpr Long kLightGrey = 0x00E0E0E0;
constexpr Long kActiveCaption = static_cast<Long>(0x80000002u); // system colour 2

constexpr FontDesign kWindowFont{};
constexpr FontDesign kMessageFont{"MS Sans Serif", 9.75, 400};
constexpr FontDesign kBarFont{"MS Sans Serif", 8.25, 400};
constexpr FontDesign kCloseFont{"MS Sans Serif", 9.75, 700};

constexpr std::array kControls{
    //            id, name, left, top, width, height, tab index, caption, font, back, fore, visible
    ControlDesign{ControlId::Label1, "Label1", 360, 240, 3015, 255, 0, "", kMessageFont, kLightGrey,
                  kDefaultColor, true},
    ControlDesign{ControlId::ProgressBar1, "ProgressBar1", 240, 600, 3495, 255, 1, "", kBarFont,
                  kDefaultColor, kDefaultColor, true},
    ControlDesign{ControlId::Label2, "Label2", 360, 960, 3375, 255, 2, "", kWindowFont, kLightGrey,
                  kDefaultColor, true},
    ControlDesign{ControlId::Label3, "Label3", 360, 1200, 3255, 255, 3, "", kWindowFont, kLightGrey,
                  kDefaultColor, true},
    ControlDesign{ControlId::lblClose, "lblClose", 3480, 240, 255, 255, 4, "X", kCloseFont,
                  kLightGrey, kActiveCaption, false},
};

constexpr std::array kTimers{
    TimerDesign{updater::TimerId::Timer1, "Timer1", kTimer1Interval},
    TimerDesign{updater::TimerId::Timer2, "Timer2", 0},
};

// Lower-case names, as the window stores them; the store matches names without case.
const std::array kBarEntries{
    StoredEntry{"_extentx", Long{6165}},
    StoredEntry{"_extenty", Long{450}},
    StoredEntry{"font", kBarFont},
    StoredEntry{"color", Long{49152}},
};

} // namespace

const WindowDesign& frmVexbrindleDesign() {
    static const WindowDesign design{
        "frmVexbrindle", "", 4020, 1530, kLightGrey, kControls, kTimers, kBarEntries,
    };
    return design;
}

} // namespace vex::qtui
