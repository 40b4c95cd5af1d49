#pragma once

// Shaped lines of text, kept between calls. Measuring and drawing a line through QFontMetrics and
// QPainter::drawText shapes it again every time, and shaping costs more than painting the
// glyphs; the progress bar measures and draws the same few texts ("45 %") on every paint, with
// fonts made afresh each time. A line is looked up by the font's value, the device's resolution
// and the text, so a new font handle for an equal font finds the same entry.

#include <QFont>
#include <QImage>
#include <QString>
#include <QTextLayout>

#include <memory>

namespace gdi::detail {

struct ShapedLine {
    int width = 0;  // horizontal advance, as QFontMetrics::horizontalAdvance
    int height = 0; // QFontMetrics::height
    int ascent = 0; // QFontMetrics::ascent
    // Draws the line with its baseline at `baseline`, as QPainter::drawText(baseline, text)
    // does, in the painter's pen.
    void Draw(QPainter& painter, const QPointF& baseline) const;

    std::shared_ptr<QTextLayout> layout; // null until first drawn
};

// The entry for `text` in `font` on `device` (null: the screen), shaped on first use. The
// reference stays valid until the next call.
const ShapedLine& ShapeLine(const QFont& font, const QImage* device, const QString& text,
                            bool forDrawing);

} // namespace gdi::detail
