#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>

#include <array>

namespace vex::qtui {

// The sixteen colours the window's icon is drawn in (the classic 16-colour palette).
extern const std::array<QRgb, 16> kIconPalette;

// The updater's own icon at one size (32 or 16 pixels): a page with a green arrow going
// down into it, in the sixteen colours above on a transparent ground.
QImage DrawWindowIcon(int size);

// Both sizes, as the window's icon.
QIcon WindowIcon();

} // namespace vex::qtui
