// Font objects: the attributes a container stores, and a native handle made from them on demand.
#include "progressbar/StdFont.h"

#include <algorithm>
#include <utility>

namespace vex {

StdFont::StdFont(QString name, double size, int weight)
    : Name(std::move(name)), Size(size), Weight(weight) {}

StdFont::~StdFont() {
    if (handle_ != 0) gdi::DeleteObject(handle_);
}

QFont StdFont::ToQFont() const {
    QFont font(Name);
    if (Size > 0) font.setPointSizeF(Size);
    // Weights use the same 1..1000 scale as Qt's, 400 regular and 700 bold.
    font.setWeight(static_cast<QFont::Weight>(std::clamp(Weight, 1, 1000)));
    font.setItalic(Italic);
    font.setUnderline(Underline);
    font.setStrikeOut(Strikethrough);
    return font;
}

// The handle follows the attributes: a changed attribute gives a new handle at the next call.
gdi::HFONT StdFont::hFont() {
    Attributes wanted = CurrentAttributes();
    if (handle_ != 0 && handleAttributes_ == wanted) return handle_;
    if (handle_ != 0) gdi::DeleteObject(handle_);
    handle_ = gdi::CreateFontFromQFont(ToQFont());
    handleAttributes_ = std::move(wanted);
    return handle_;
}

StdFont::Attributes StdFont::CurrentAttributes() const {
    return {Name, Size, Weight, Italic, Underline, Strikethrough};
}

} // namespace vex
