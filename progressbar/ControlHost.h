#pragma once

#include "platform/gdi/gdi.h"
#include "platform/runtime/types.h"

#include <QString>
#include <memory>
#include <optional>
#include <string>

namespace vex {

class StdFont;

// What the control needs from whatever hosts it: its window and own DC, its inner size and
// position in pixels, a background colour and scale unit, change notifications to the
// container, and new default font objects. A Qt widget and a headless host implement it.
class ControlHost {
  public:
    virtual ~ControlHost() = default;

    virtual gdi::HWND Window() const = 0;
    virtual gdi::HDC OwnDC() const = 0;

    // Inner size and position in the current scale unit (pixels once the control set it).
    virtual float ScaleWidth() const = 0;
    virtual float ScaleHeight() const = 0;
    virtual float ScaleLeft() const = 0;
    virtual float ScaleTop() const = 0;

    virtual void SetBackColor(Long color) = 0;
    virtual void SetScaleModePixels() = 0;

    // Tells the container that a stored property changed (it marks its document modified).
    virtual void NotifyPropertyChanged(const QString& name) = 0;

    virtual std::shared_ptr<StdFont> NewDefaultFont() = 0;

    // The text the overlay shows in place of its own (the percentage or "Searching.."), in the
    // DC's single-byte encoding; drawn with the overlay's colours and placement. A host that
    // gives none keeps the control's own text.
    virtual std::optional<std::string> BarText() const { return std::nullopt; }

    // A control's background before it sets its own: the desktop's button face, as for any
    // control. Every host starts with it, so a control looks the same in each of them.
    static Long InitialBackColor() { return gdi::GetSysColor(gdi::COLOR_BTNFACE); }
};

} // namespace vex
