#pragma once

#include "progressbar/StdFont.h"

#include <QFont>

#include <memory>

namespace xpbar {

// A Qt font as the control's font object: face, size in points (a pixel size counts 3/4 of a
// point per pixel, at 96 dots per inch), weight, italic, underline and strike-out. The widget
// and the Qt Quick item share it, so both draw a text in the same font.
std::shared_ptr<vex::StdFont> ToStdFont(const QFont& font);

} // namespace xpbar
