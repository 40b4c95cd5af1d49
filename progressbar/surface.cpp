// The off-screen surface every layer is painted into before one copy reaches the screen. It
// only grows: shrinking the control keeps the larger surface, so resizing back costs nothing.
#include "progressbar/XP_ProgressBar.h"

namespace vex {

Long XP_ProgressBar::EnsureSurface(const Long& width, const Long& height) {
    if (hMemDC == 0) {
        if (width > 0 && height > 0) CreateSurface(width, height);
    } else if (width > lMemWidth || height > lMemHeight) {
        CreateSurface(width, height);
    }
    return hMemDC;
}

// Each handle goes into its field as soon as the platform yields it, so that the failure path
// finds and releases it. The bitmap is made compatible with the screen, not with the memory
// DC, to get the screen's pixel format.
void XP_ProgressBar::CreateSurface(Long width, Long height) {
    DestroySurface();
    const gdi::HDC screenDC = gdi::CreateDCA("DISPLAY", "", "", nullptr);
    if (screenDC == 0) return;

    hMemDC = gdi::CreateCompatibleDC(screenDC);
    if (hMemDC != 0) {
        hMemBitmap = gdi::CreateCompatibleBitmap(screenDC, width, height);
        if (hMemBitmap != 0) {
            hOldBitmap = gdi::SelectObject(hMemDC, hMemBitmap);
            if (hOldBitmap != 0) {
                lMemWidth = width;
                lMemHeight = height;
                gdi::DeleteDC(screenDC);
                return;
            }
        }
    }
    gdi::DeleteDC(screenDC);
    DestroySurface();
}

// The bitmap must be deselected before it can be deleted, and the DC goes last.
void XP_ProgressBar::DestroySurface() {
    if (hOldBitmap != 0) {
        gdi::SelectObject(hMemDC, hOldBitmap);
        hOldBitmap = 0;
    }
    if (hMemBitmap != 0) {
        gdi::DeleteObject(hMemBitmap);
        hMemBitmap = 0;
    }
    if (hMemDC != 0) {
        gdi::DeleteDC(hMemDC);
        hMemDC = 0;
    }
    lMemWidth = 0;
    lMemHeight = 0;
}

// One straight copy; a size below 1 means the whole surface. The copy's result is not
// examined: without a surface it simply has no source and does nothing.
bool XP_ProgressBar::pDraw(Long hDc, Long xSrc, Long ySrc, Long WidthSrc, Long HeightSrc, Long xDst,
                           Long yDst) {
    const Long width = WidthSrc < 1 ? lMemWidth : WidthSrc;
    const Long height = HeightSrc < 1 ? lMemHeight : HeightSrc;
    gdi::BitBlt(hDc, xDst, yDst, width, height, hMemDC, xSrc, ySrc, gdi::SRCCOPY);
    return true;
}

} // namespace vex
