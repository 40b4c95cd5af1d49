#pragma once

// The handle types and constants of the 2-D layer, apart from its calls, so that the layer's own
// internals (the handle table) can use them before the calls are declared.

#include "platform/gdi/color.h"
#include "platform/gdi/rect.h"
#include "platform/runtime/types.h"

namespace gdi {

using vex::Long;

using HGDIOBJ = Long;
using HDC = Long;
using HBITMAP = Long;
using HBRUSH = Long;
using HPEN = Long;
using HFONT = Long;
using HWND = Long;
using COLORREF = Long; // 0x00BBGGRR
using UINT = unsigned int;

// Raster operations.
inline constexpr Long SRCCOPY = 0x00CC0020;
inline constexpr Long PATCOPY = 0x00F00021;

// Background modes.
inline constexpr int TRANSPARENT = 1;
inline constexpr int OPAQUE = 2;

// Pen styles.
inline constexpr int PS_SOLID = 0;
inline constexpr int PS_NULL = 5; // draws nothing; LineTo only moves the current position

// Returned by SetBkColor and SetTextColor when the DC is bad.
inline constexpr COLORREF CLR_INVALID = -1;

// Hatch styles.
inline constexpr int HS_HORIZONTAL = 0;
inline constexpr int HS_VERTICAL = 1;
inline constexpr int HS_FDIAGONAL = 2;
inline constexpr int HS_BDIAGONAL = 3;
inline constexpr int HS_CROSS = 4;
inline constexpr int HS_DIAGCROSS = 5;

// DrawTextA flags.
inline constexpr UINT DT_SINGLELINE = 0x00000020;
inline constexpr UINT DT_CALCRECT = 0x00000400;

// DrawEdge edge types and flags.
inline constexpr UINT BDR_RAISEDOUTER = 0x0001;
inline constexpr UINT BDR_SUNKENOUTER = 0x0002;
inline constexpr UINT BDR_RAISEDINNER = 0x0004;
inline constexpr UINT BDR_SUNKENINNER = 0x0008;
inline constexpr UINT EDGE_ETCHED = BDR_SUNKENOUTER | BDR_RAISEDINNER; // 6
inline constexpr UINT EDGE_BUMP = BDR_RAISEDOUTER | BDR_SUNKENINNER;   // 9
inline constexpr UINT BF_LEFT = 0x0001;
inline constexpr UINT BF_TOP = 0x0002;
inline constexpr UINT BF_RIGHT = 0x0004;
inline constexpr UINT BF_BOTTOM = 0x0008;
inline constexpr UINT BF_RECT = 0x000F;

// System colour indices used by the program (GetSysColor).
inline constexpr int COLOR_ACTIVECAPTION = 2;
inline constexpr int COLOR_WINDOW = 5;
inline constexpr int COLOR_WINDOWTEXT = 8;
inline constexpr int COLOR_HIGHLIGHT = 13;
inline constexpr int COLOR_HIGHLIGHTTEXT = 14;
inline constexpr int COLOR_BTNFACE = 15;
inline constexpr int COLOR_3DSHADOW = 16;
inline constexpr int COLOR_BTNTEXT = 18;
inline constexpr int COLOR_3DHIGHLIGHT = 20;
inline constexpr int COLOR_3DDKSHADOW = 21;
inline constexpr int COLOR_3DLIGHT = 22;

inline constexpr COLORREF RGB(int r, int g, int b) {
    return r + 256 * g + 65536 * b;
}

} // namespace gdi
