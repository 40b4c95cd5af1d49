// System colours: the Windows indices mapped onto the desktop's palette.

#include "platform/gdi/gdi.h"
#include "platform/gdi/table.h"

#include <QGuiApplication>
#include <QPalette>

#include <optional>

namespace gdi {

namespace {

struct SysColor {
    COLORREF classic;                        // the classic Windows value
    std::optional<QPalette::ColorRole> role; // the palette role that plays the same part
};

// Index -> palette role where one fits, else the classic Windows value. Without a
// QGuiApplication (no palette to ask) every index takes its classic value.
//
//  0 SCROLLBAR            classic 212,208,200
//  1 BACKGROUND (desktop) classic  58,110,165
//  2 ACTIVECAPTION        classic  10, 36,106
//  3 INACTIVECAPTION      classic 128,128,128
//  4 MENU                 Window
//  5 WINDOW               Base
//  6 WINDOWFRAME          classic   0,  0,  0
//  7 MENUTEXT             WindowText
//  8 WINDOWTEXT           Text
//  9 CAPTIONTEXT          classic 255,255,255
// 10 ACTIVEBORDER         classic 212,208,200
// 11 INACTIVEBORDER       classic 212,208,200
// 12 APPWORKSPACE         classic 128,128,128
// 13 HIGHLIGHT            Highlight
// 14 HIGHLIGHTTEXT        HighlightedText
// 15 BTNFACE              Button
// 16 BTNSHADOW/3DSHADOW   Dark
// 17 GRAYTEXT             PlaceholderText
// 18 BTNTEXT              ButtonText
// 19 INACTIVECAPTIONTEXT  classic 212,208,200
// 20 BTNHIGHLIGHT         Light
// 21 3DDKSHADOW           Shadow
// 22 3DLIGHT              Midlight
// 23 INFOTEXT             ToolTipText
// 24 INFOBK               ToolTipBase
// 25 (none)               unknown -> 0
// 26 HOTLIGHT             Link
// 27 GRADIENTACTIVECAPTION   classic 166,202,240
// 28 GRADIENTINACTIVECAPTION classic 192,192,192
// 29 MENUHILIGHT          Highlight
// 30 MENUBAR              Window
const std::optional<SysColor> kSysColors[] = {
    SysColor{RGB(212, 208, 200), {}},
    SysColor{RGB(58, 110, 165), {}},
    SysColor{RGB(10, 36, 106), {}},
    SysColor{RGB(128, 128, 128), {}},
    SysColor{RGB(212, 208, 200), QPalette::Window},
    SysColor{RGB(255, 255, 255), QPalette::Base},
    SysColor{RGB(0, 0, 0), {}},
    SysColor{RGB(0, 0, 0), QPalette::WindowText},
    SysColor{RGB(0, 0, 0), QPalette::Text},
    SysColor{RGB(255, 255, 255), {}},
    SysColor{RGB(212, 208, 200), {}},
    SysColor{RGB(212, 208, 200), {}},
    SysColor{RGB(128, 128, 128), {}},
    SysColor{RGB(10, 36, 106), QPalette::Highlight},
    SysColor{RGB(255, 255, 255), QPalette::HighlightedText},
    SysColor{RGB(212, 208, 200), QPalette::Button},
    SysColor{RGB(128, 128, 128), QPalette::Dark},
    SysColor{RGB(128, 128, 128), QPalette::PlaceholderText},
    SysColor{RGB(0, 0, 0), QPalette::ButtonText},
    SysColor{RGB(212, 208, 200), {}},
    SysColor{RGB(255, 255, 255), QPalette::Light},
    SysColor{RGB(64, 64, 64), QPalette::Shadow},
    SysColor{RGB(212, 208, 200), QPalette::Midlight},
    SysColor{RGB(0, 0, 0), QPalette::ToolTipText},
    SysColor{RGB(255, 255, 225), QPalette::ToolTipBase},
    std::nullopt,
    SysColor{RGB(0, 0, 128), QPalette::Link},
    SysColor{RGB(166, 202, 240), {}},
    SysColor{RGB(192, 192, 192), {}},
    SysColor{RGB(49, 106, 197), QPalette::Highlight},
    SysColor{RGB(212, 208, 200), QPalette::Window},
};

} // namespace

COLORREF GetSysColor(int index) {
    constexpr int count = int(sizeof(kSysColors) / sizeof(kSysColors[0]));
    if (index < 0 || index >= count || !kSysColors[index]) return 0;
    const SysColor& entry = *kSysColors[index];
    if (entry.role && qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        const QColor color = QGuiApplication::palette().color(QPalette::Active, *entry.role);
        return BgrColor::FromQColor(color).Value();
    }
    return entry.classic;
}

} // namespace gdi
