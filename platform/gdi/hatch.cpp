#include "platform/gdi/hatch.h"

#include "platform/gdi/gdi.h"

namespace gdi::detail {

// The cells of Qt's HorPattern, VerPattern, FDiagPattern, BDiagPattern, CrossPattern and
// DiagCrossPattern, in the order of the six hatch styles. Keeping them as data lets the fill
// run without a QPainter; the tests compare them with what Qt paints. HS_FDIAGONAL falls from
// the upper left to the lower right, HS_BDIAGONAL rises.
namespace {
constexpr HatchMask kMasks[6] = {
    {0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00}, // HS_HORIZONTAL
    {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10}, // HS_VERTICAL
    {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80}, // HS_FDIAGONAL
    {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01}, // HS_BDIAGONAL
    {0x10, 0x10, 0x10, 0xFF, 0x10, 0x10, 0x10, 0x10}, // HS_CROSS
    {0x81, 0x42, 0x24, 0x18, 0x18, 0x24, 0x42, 0x81}, // HS_DIAGCROSS
};
} // namespace

const HatchMask& HatchMaskFor(int style) {
    return kMasks[style >= HS_HORIZONTAL && style <= HS_DIAGCROSS ? style : HS_HORIZONTAL];
}

} // namespace gdi::detail
