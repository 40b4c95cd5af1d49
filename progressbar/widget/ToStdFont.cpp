#include "progressbar/widget/ToStdFont.h"

namespace xpbar {

std::shared_ptr<vex::StdFont> ToStdFont(const QFont& font) {
    const double points = font.pointSizeF() > 0 ? font.pointSizeF() : font.pixelSize() * 0.75;
    auto converted = std::make_shared<vex::StdFont>(font.family(), points, font.weight());
    converted->Italic = font.italic();
    converted->Underline = font.underline();
    converted->Strikethrough = font.strikeOut();
    return converted;
}

} // namespace xpbar
