#pragma once

namespace gdi {

// A twip is 1/1440 inch; at 96 dots per inch a pixel is 15 of them.
inline constexpr int kTwipsPerPixel = 15;

} // namespace gdi
