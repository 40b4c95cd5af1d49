#pragma once

// Shaped lines of text, kept between calls. Measuring and drawing a line through QFontMetrics and
// QPainter::drawText shapes it again every time, and shaping costs more than painting the
// glyphs; the progress bar measures and draws the same few texts ("45 %") on every paint, with
// fonts made afresh each time. A line is looked up by the font's value, the device's resolution
// and the text, so a new font handle for an equal font finds the same entry; the same font
// object asking again for the same text finds it without the lookup. A line keeps its glyphs
// and where each can leave ink, so that a draw blends only the glyphs that reach the clip (a
// standing bar shows a few glyphs of its centred text).

#include <QFont>
#include <QGlyphRun>
#include <QImage>
#include <QLatin1StringView>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QTextLayout>

#include <memory>
#include <vector>

namespace gdi::detail {

// The glyphs of a line that can leave ink inside a clip rectangle.
struct GlyphSelection {
    bool byGlyphs = false;  // false: the line is drawn whole (ShapedLine::Draw)
    int count = 0;          // glyphs picked
    bool insideClip = true; // every picked glyph's ink lies inside the clip rectangle
};

struct ShapedLine {
    int width = 0;  // horizontal advance, as QFontMetrics::horizontalAdvance
    int height = 0; // QFontMetrics::height
    int ascent = 0; // QFontMetrics::ascent
    // Draws the line with its baseline at `baseline`, as QPainter::drawText(baseline, text)
    // does, in the painter's pen and font.
    void Draw(QPainter& painter, const QPointF& baseline) const;

    // Picks the glyphs whose ink can reach `clip` on an image of `format` with the baseline at
    // `baseline`. Glyphs left out leave no pixel in the clip, so drawing the rest gives the
    // same pixels as drawing the whole line.
    GlyphSelection Select(QImage::Format format, const QPoint& baseline, const QRect& clip);
    // Draws the glyphs Select picked, in the painter's pen (the font is the glyphs' own).
    void DrawSelected(QPainter& painter, const QPoint& baseline);

    std::shared_ptr<QTextLayout> layout; // null until first drawn

    struct Run {
        QGlyphRun glyphs; // the font and flags of the run; its glyphs are set for each draw
        std::vector<quint32> indexes;
        std::vector<QPointF> positions; // from the baseline's start
        std::vector<QRect> ink;         // from the baseline's start; empty: no ink
        std::vector<quint32> pickedIndexes;
        std::vector<QPointF> pickedPositions;
    };
    std::vector<Run> runs;
    // Decorations span the line, so no glyph may be left out; long lines and large glyphs are
    // not worth picking from.
    bool drawnWhole = false;
    QImage::Format inkFormat = QImage::Format_Invalid; // what `ink` was found for
    // The last pick: for this format and clip seen from the baseline (Format_Invalid: none).
    QImage::Format pickedFormat = QImage::Format_Invalid;
    QRect pickedReach;
    GlyphSelection picked;
};

// The entry for `text` in `font` on `device` (null: the screen), shaped on first use. The
// reference stays valid until the next call.
ShapedLine& ShapeLine(const QFont& font, const QImage* device, QLatin1StringView text,
                      bool forDrawing);

} // namespace gdi::detail
