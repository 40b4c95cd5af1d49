#pragma once

// A thin 2-D layer with the operations, handles and pixel rules of the classic Windows GDI,
// drawn into QImage pixels. The progress bar is written against these calls; keeping their
// exact rules (end pixel of a line excluded, right/bottom of a fill excluded, frame one pixel
// inside) is the whole point of the layer.
//
// Handles are 32-bit values. 0 is never a valid handle. A bad handle (0, deleted, or of the
// wrong kind) makes a call do nothing and report failure (0 / false), as GDI does.

#include "platform/gdi/types.h"

#include <QFont>
#include <QImage>
#include <QString>

#include <functional>

namespace gdi {

// --- Device contexts and objects --------------------------------------------------------------

// A DC for the whole screen (driver "DISPLAY"); it has no pixels of its own and serves to make
// compatible DCs and bitmaps. Any other driver name fails (returns 0).
HDC CreateDCA(const char* driver, const char* device, const char* output, const void* initData);
HDC CreateCompatibleDC(HDC hdc);
// A bitmap in the screen's pixel format (QImage::Format_RGB32), initially black. Fails (0)
// for a non-positive size or one too large to allocate sensibly.
HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height);
// Selects a bitmap, pen, brush or font into a DC and returns the object of the same kind that
// it replaces (a memory DC starts with a 1 x 1 stock bitmap selected; DCs start with the stock
// black pen, white brush and default font). 0 on failure.
inline HGDIOBJ SelectObject(HDC hdc, HGDIOBJ obj);
// Deletes a pen, brush, bitmap or font. Fails for stock objects and for objects still selected
// into a DC (they stay alive, as in GDI).
inline bool DeleteObject(HGDIOBJ obj);
bool DeleteDC(HDC hdc);

HBRUSH CreateSolidBrush(COLORREF color);
HBRUSH CreateHatchBrush(int style, COLORREF color); // 0 for a style outside 0..5
HBRUSH CreatePatternBrush(HBITMAP bitmap);          // copies the bitmap's pixels
// PS_SOLID or PS_NULL, width 0 or 1 (both one pixel); anything else fails (0) rather than
// drawing something different.
inline HPEN CreatePen(int style, int width, COLORREF color);

// --- Drawing ----------------------------------------------------------------------------------

int FillRect(HDC hdc, const Rect& rc, HBRUSH brush);  // right/bottom excluded
int FrameRect(HDC hdc, const Rect& rc, HBRUSH brush); // 1-pixel border inside rc
inline bool MoveToEx(HDC hdc, int x, int y, Point* previous);
inline bool LineTo(HDC hdc, int x, int y); // start pixel drawn, end pixel not
bool SetPixelV(HDC hdc, int x, int y, COLORREF color);
// PATCOPY only (other operations fail). A zero or negative extent paints nothing.
bool PatBlt(HDC hdc, int x, int y, int width, int height, Long rop);
bool BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int xSrc, int ySrc,
            Long rop);                          // SRCCOPY
int SetBkMode(HDC hdc, int mode);               // returns the previous mode, 0 on failure
COLORREF SetBkColor(HDC hdc, COLORREF color);   // returns the previous colour
COLORREF SetTextColor(HDC hdc, COLORREF color); // returns the previous colour
// 1-pixel rings in the 3-D system colours, outer ring on rc's border, inner ring one pixel
// inside; the BF_LEFT/TOP/RIGHT/BOTTOM bits of `flags` choose the sides; rc is not changed.
bool DrawEdge(HDC hdc, Rect* rc, UINT edge, UINT flags);
// Measures (DT_CALCRECT: right = left + width, bottom = top + height) or draws one line of
// text, left and top aligned in rc and clipped to it, in the DC's font, text colour and
// background mode. `length` -1 means up to the terminating NUL. Returns the text height.
int DrawTextA(HDC hdc, const char* text, int length, Rect* rc, UINT format);

COLORREF GetSysColor(int index);
bool GetClientRect(HWND hwnd, Rect* rc);

// --- Bridges to Qt (not GDI calls; used by hosts, tools and tests) ----------------------------

// A DC that draws into pixels owned by the caller (a host's own DC over the image that its
// widget shows). The image must outlive the DC and should be Format_RGB32; the host may
// reallocate it between calls. An image of another depth than 32 bits leaves the DC without
// pixels (drawing calls fail).
HDC CreateDCForImage(QImage* target);
// The pixels behind a DC: the bitmap selected into a memory DC, or the caller's image; null
// for the screen DC or a bad handle.
const QImage* ImageOfDC(HDC hdc);
// A bitmap holding a copy of the image, converted to the screen's format.
HBITMAP CreateBitmapFromImage(const QImage& image);
const QImage* ImageOfBitmap(HBITMAP bitmap);
// A font handle for a Qt font.
HFONT CreateFontFromQFont(const QFont& font);

// Windows are whatever a host registers: a handle whose client size is asked for on demand.
HWND RegisterWindow(std::function<QSize()> clientSize);
void UnregisterWindow(HWND hwnd);

// Objects and DCs alive now (stock objects and windows excluded): tests use it to prove
// nothing leaks.
int LiveObjectCount();

// Test hooks: make the next call(s) of one entry point fail as if the platform refused it.
// `entry` is the function's name, e.g. "CreateCompatibleBitmap". `times` calls fail.
void FailNextCalls(const char* entry, int times = 1);
void ClearFailures();

} // namespace gdi

// A gradient makes, selects, uses and deletes a pen for every pixel column, so those calls are
// defined inline: their common case costs a few loads and stores.
#include "platform/gdi/inline_calls.h"
