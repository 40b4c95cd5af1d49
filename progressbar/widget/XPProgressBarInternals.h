#pragma once

// What the project's own code and tests reach behind the widget's public interface: the control,
// its host and the container's property store. Not installed, and not exported from the shared
// library: only code linked with the static build of the widget (vex_progressbar_widget) uses it.

#include "progressbar/widget/XPProgressBar.h"

class QString;

namespace vex {
class ControlHost;
class PropertyBag;
class XP_ProgressBar;
} // namespace vex

namespace xpbar {

struct XPProgressBarInternals {
    static vex::XP_ProgressBar& Control(XPProgressBar& bar);
    static const vex::XP_ProgressBar& Control(const XPProgressBar& bar);
    static vex::ControlHost& Host(XPProgressBar& bar);

    // The stored properties with a store the container keeps (its own entries may sit beside
    // the bar's); as saveProperties / loadProperties with a file.
    static void SaveProperties(const XPProgressBar& bar, vex::PropertyBag& store);
    static bool LoadProperties(XPProgressBar& bar, const vex::PropertyBag& store,
                               QString* error = nullptr);
};

} // namespace xpbar
