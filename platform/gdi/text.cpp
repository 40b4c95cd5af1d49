// Text: one line measured and drawn with Qt's font engine in the DC's font and colours.

#include "platform/gdi/column_batch.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/table.h"
#include "platform/gdi/text_cache.h"

#include <QGuiApplication>
#include <QPainter>

#include <algorithm>
#include <cstring>
#include <limits>

namespace gdi {

using namespace detail;

namespace {

QFont FontOf(const DcState& dc) {
    Slot* slot = Table::instance().find(dc.font, Kind::Font);
    // The stock font has no QFont of its own: it is the application's font at the time of use.
    return slot && slot->font ? *slot->font : QGuiApplication::font();
}

// Text that the cached layout draws exactly as QPainter::drawText does: no control characters,
// which drawText and a text layout treat differently.
bool IsPlainLine(QLatin1StringView text) {
    for (const char ch : text) {
        const auto u = static_cast<unsigned char>(ch);
        if (u < 0x20 || (u >= 0x7F && u < 0xA0)) return false;
    }
    return true;
}

Long Saturate(qint64 v) {
    return Long(
        std::clamp<qint64>(v, std::numeric_limits<Long>::min(), std::numeric_limits<Long>::max()));
}

} // namespace

int DrawTextA(HDC hdc, const char* text, int length, Rect* rc, UINT format) {
    if (ShouldFail("DrawTextA")) return 0;
    Slot* slot = Table::instance().find(hdc, Kind::DC);
    // Fonts need a QGuiApplication; without one there is nothing to measure with.
    if (!slot || !text || !rc || length < -1 ||
        !qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        return 0;
    }
    DcState& dc = *slot->dc;
    const QLatin1StringView str(text, length == -1 ? qsizetype(std::strlen(text)) : length);
    const QFont font = FontOf(dc);
    QImage* image = PixelsOf(dc);
    const bool draw = !(format & DT_CALCRECT) && image;
    const bool plain = IsPlainLine(str);
    ShapedLine& line = ShapeLine(font, image, str, draw && plain);
    const int width = line.width;
    const int height = line.height;

    if (format & DT_CALCRECT) {
        rc->right = Saturate(qint64(rc->left) + width);
        rc->bottom = Saturate(qint64(rc->top) + height);
        return height;
    }
    if (!image) return 0;
    FlushColumns();

    // Everything is clipped to rc (and to the image).
    const qint64 left = std::max<qint64>(rc->left, 0);
    const qint64 top = std::max<qint64>(rc->top, 0);
    const qint64 right = std::min<qint64>(rc->right, image->width());
    const qint64 bottom = std::min<qint64>(rc->bottom, image->height());
    if (right <= left || bottom <= top) return height;
    const QRect clip(int(left), int(top), int(right - left), int(bottom - top));
    // rc->top < bottom here, so the baseline stays in range.
    const QPoint baseline(rc->left, rc->top + line.ascent);
    const bool opaque = dc.bkMode == OPAQUE;

    // Glyphs that cannot reach the clip are not drawn at all, and a line whose ink stays inside
    // the clip needs no clip: both leave every pixel as drawing the whole line clipped does.
    // An image with a device pixel ratio scales what a painter draws: it is drawn whole.
    const bool byGlyphs = plain && image->devicePixelRatio() == 1.0;
    const GlyphSelection glyphs =
        byGlyphs ? line.Select(image->format(), baseline, clip) : GlyphSelection{};
    if (glyphs.byGlyphs && glyphs.count == 0 && !opaque) return height;

    QPainter painter(image);
    if (!glyphs.byGlyphs || !glyphs.insideClip) painter.setClipRect(clip);
    if (opaque) {
        // The text cell, in 64 bits until it is clipped: rc may lie anywhere in the 32-bit range.
        const qint64 cellLeft = std::max<qint64>(rc->left, left);
        const qint64 cellTop = std::max<qint64>(rc->top, top);
        const qint64 cellRight = std::min<qint64>(qint64(rc->left) + width, right);
        const qint64 cellBottom = std::min<qint64>(qint64(rc->top) + height, bottom);
        if (cellRight > cellLeft && cellBottom > cellTop) {
            painter.fillRect(QRect(int(cellLeft), int(cellTop), int(cellRight - cellLeft),
                                   int(cellBottom - cellTop)),
                             BgrColor(dc.bkColor).ToQColor());
        }
    }
    painter.setPen(BgrColor(dc.textColor).ToQColor());
    if (glyphs.byGlyphs) {
        line.DrawSelected(painter, baseline);
    } else if (plain) {
        painter.setFont(font);
        line.Draw(painter, baseline);
    } else {
        painter.setFont(font);
        painter.drawText(baseline, QString(str));
    }
    return height;
}

} // namespace gdi
