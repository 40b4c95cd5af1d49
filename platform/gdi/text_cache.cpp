#include "platform/gdi/text_cache.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QHash>
#include <QPainter>
#include <QRawFont>
#include <QTextLine>

#include <algorithm>
#include <limits>

namespace gdi::detail {

namespace {

// Enough for every text a few bars show; past it the cache starts over rather than grow.
constexpr qsizetype kMaxLines = 512;
// Lines drawn glyph by glyph, only the glyphs that can reach the clip: at most this many
// characters and pixels high.
constexpr qsizetype kMaxGlyphsPicked = 256;
constexpr int kMaxPickedHeight = 256;

struct Key {
    QFont font;
    QFont resolved; // what a painter makes of it: unset attributes from the application's font
    int dotsPerMeterX;
    int dotsPerMeterY;
    QString text;
    friend bool operator==(const Key& a, const Key& b) {
        return a.dotsPerMeterX == b.dotsPerMeterX && a.dotsPerMeterY == b.dotsPerMeterY &&
               a.text == b.text && a.font == b.font && a.resolved == b.resolved;
    }
};

size_t qHash(const Key& k, size_t seed = 0) {
    return qHashMulti(seed, k.font, k.resolved, k.dotsPerMeterX, k.dotsPerMeterY, k.text);
}

QHash<Key, ShapedLine>& Lines() {
    static auto* lines = new QHash<Key, ShapedLine>; // never destroyed, like the handle table
    return *lines;
}

// The entry of the last call. A caller that keeps its font object measures and draws the same
// text call after call; comparing the font's shared data finds that entry without resolving
// and hashing the font. The copies held here keep that data alive and unchanged (a QFont
// detaches before it changes while shared), so equal data pointers mean equal fonts.
struct LastLine {
    QFont font;
    QFont application; // what the font's unset attributes come from
    int dotsPerMeterX = 0;
    int dotsPerMeterY = 0;
    QString text;
    ShapedLine* entry = nullptr; // valid until the next insertion, which replaces it
};

LastLine& Last() {
    static auto* last = new LastLine;
    return *last;
}

// Ink that may reach anywhere: the glyph is always drawn, and always with the clip.
const QRect kUnbounded(-(1 << 28), -(1 << 28), 1 << 29, 1 << 29);

// The box of the pixels of `area` in `image` that differ from `ground`, or an empty rectangle.
QRect Changed(const QImage& image, const QRect& area, quint32 ground) {
    int left = area.right() + 1, top = area.bottom() + 1, right = -1, bottom = -1;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const auto* row = reinterpret_cast<const quint32*>(image.constScanLine(y));
        for (int x = area.left(); x <= area.right(); ++x) {
            if (row[x] == ground) continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

// Where each glyph leaves ink on an image of `format`, found by drawing it alone, white on
// black: any coverage at all lightens black. The baseline stays on whole pixels, as every draw
// puts it, so the glyph masks are the ones every draw uses. Each glyph is looked for in its
// outline's box with a wide margin; ink that reaches the margin's edge counts as reaching
// anywhere. A margin of a pixel is kept all round.
void FindInk(ShapedLine& line, QImage::Format format) {
    const int pad = std::max(line.height, 8);
    // Each glyph's box, from the baseline's start, and the largest of them.
    std::vector<std::vector<QRect>> boxes;
    QSize largest;
    for (const ShapedLine::Run& run : line.runs) {
        const QRawFont font = run.glyphs.rawFont();
        auto& runBoxes = boxes.emplace_back();
        for (size_t i = 0; i < run.indexes.size(); ++i) {
            const QRectF outline = font.boundingRect(run.indexes[i]).translated(run.positions[i]);
            runBoxes.push_back(outline.toAlignedRect().adjusted(-pad, -pad, pad, pad));
            largest = largest.expandedTo(runBoxes.back().size());
        }
    }
    QImage scratch(largest.width() + 2, largest.height() + 2, format);
    QPainter painter(&scratch);
    painter.setPen(Qt::white);
    for (size_t r = 0; r < line.runs.size(); ++r) {
        ShapedLine::Run& run = line.runs[r];
        run.ink.assign(run.indexes.size(), QRect());
        for (size_t i = 0; i < run.indexes.size(); ++i) {
            // The glyph's box lands at (1, 1); the shift is whole pixels.
            const QRect& box = boxes[r][i];
            const QPoint baseline = QPoint(1, 1) - box.topLeft();
            const QRect area = box.translated(baseline);
            painter.fillRect(area, Qt::black);
            const quint32 ground =
                reinterpret_cast<const quint32*>(scratch.constScanLine(area.top()))[area.left()];
            QGlyphRun glyph = run.glyphs;
            glyph.setRawData(&run.indexes[i], &run.positions[i], 1);
            painter.drawGlyphRun(baseline, glyph);
            // Whatever lies outside `area` was never cleared; only the inside is looked at.
            const QRect ink = Changed(scratch, area, ground);
            if (ink.isEmpty()) continue;
            run.ink[i] = area.adjusted(1, 1, -1, -1).contains(ink)
                             ? ink.adjusted(-1, -1, 1, 1).translated(-baseline)
                             : kUnbounded;
        }
    }
    line.inkFormat = format;
}

void MakeRuns(ShapedLine& line, const QFont& resolved) {
    // Decorations are drawn along every glyph of the line; such lines are drawn whole. So are
    // long lines and very large glyphs, where finding each glyph's ink would cost more than it
    // saves.
    line.drawnWhole = resolved.underline() || resolved.overline() || resolved.strikeOut() ||
                      line.layout->text().size() > kMaxGlyphsPicked ||
                      line.height > kMaxPickedHeight;
    if (line.drawnWhole || line.layout->lineCount() != 1) {
        line.drawnWhole = true;
        return;
    }
    const qreal lineAscent = line.layout->lineAt(0).ascent();
    for (const QGlyphRun& glyphs : line.layout->glyphRuns()) {
        ShapedLine::Run run;
        run.glyphs = glyphs;
        const QList<quint32> indexes = glyphs.glyphIndexes();
        const QList<QPointF> positions = glyphs.positions();
        if (indexes.size() != positions.size()) {
            line.drawnWhole = true;
            line.runs.clear();
            return;
        }
        run.indexes.assign(indexes.begin(), indexes.end());
        for (const QPointF& p : positions)
            run.positions.emplace_back(p.x(), p.y() - lineAscent);
        run.glyphs.setGlyphIndexes({});
        run.glyphs.setPositions({});
        line.runs.push_back(std::move(run));
    }
}

} // namespace

void ShapedLine::Draw(QPainter& painter, const QPointF& baseline) const {
    const QTextLine line = layout->lineAt(0);
    layout->draw(&painter, QPointF(baseline.x(), baseline.y() - line.ascent()));
}

GlyphSelection ShapedLine::Select(QImage::Format format, const QPoint& baseline,
                                  const QRect& clip) {
    GlyphSelection selection;
    if (!layout || drawnWhole) return selection;
    if (inkFormat != format) FindInk(*this, format);
    selection.byGlyphs = true;
    // A baseline further from the clip than any ink reaches leaves nothing to draw (and would
    // overflow the sums below).
    const qint64 dx = qint64(clip.left()) - baseline.x();
    const qint64 dy = qint64(clip.top()) - baseline.y();
    constexpr qint64 kFar = qint64(1) << 29;
    if (dx < -kFar || dx > kFar || dy < -kFar || dy > kFar) {
        pickedFormat = QImage::Format_Invalid;
        for (Run& run : runs) {
            run.pickedIndexes.clear();
            run.pickedPositions.clear();
        }
        return selection;
    }
    const QRect reach(int(dx), int(dy), clip.width(), clip.height()); // seen from the baseline
    // The picks depend on nothing else: a bar repainted in place picks what it picked last time.
    if (pickedFormat == format && pickedReach == reach) return picked;
    for (Run& run : runs) {
        run.pickedIndexes.clear();
        run.pickedPositions.clear();
        for (size_t i = 0; i < run.indexes.size(); ++i) {
            const QRect& ink = run.ink[i];
            if (ink.isEmpty() || !ink.intersects(reach)) continue;
            run.pickedIndexes.push_back(run.indexes[i]);
            run.pickedPositions.push_back(run.positions[i]);
            selection.insideClip = selection.insideClip && reach.contains(ink);
        }
        selection.count += int(run.pickedIndexes.size());
    }
    pickedFormat = format;
    pickedReach = reach;
    picked = selection;
    return selection;
}

void ShapedLine::DrawSelected(QPainter& painter, const QPoint& baseline) {
    for (Run& run : runs) {
        if (run.pickedIndexes.empty()) continue;
        run.glyphs.setRawData(run.pickedIndexes.data(), run.pickedPositions.data(),
                              int(run.pickedIndexes.size()));
        painter.drawGlyphRun(baseline, run.glyphs);
    }
}

ShapedLine& ShapeLine(const QFont& font, const QImage* device, QLatin1StringView text,
                      bool forDrawing) {
    const int dotsPerMeterX = device ? device->dotsPerMeterX() : 0;
    const int dotsPerMeterY = device ? device->dotsPerMeterY() : 0;
    LastLine& last = Last();
    // QPainter::setFont fills in what the font leaves unset (antialiasing, say) from the
    // application's font; the layout must draw with the same font.
    const QFont application = QGuiApplication::font();
    ShapedLine* found = nullptr;
    if (last.entry && font.isCopyOf(last.font) && font.resolveMask() == last.font.resolveMask() &&
        application.isCopyOf(last.application) &&
        application.resolveMask() == last.application.resolveMask() &&
        dotsPerMeterX == last.dotsPerMeterX && dotsPerMeterY == last.dotsPerMeterY &&
        last.text == text) {
        found = last.entry;
    }
    if (!found) {
        auto& lines = Lines();
        const QFont resolved = font.resolve(QFont());
        Key key{font, resolved, dotsPerMeterX, dotsPerMeterY, QString(text)};
        auto it = lines.find(key);
        if (it == lines.end()) {
            if (lines.size() >= kMaxLines) lines.clear();
            // Measured on the device that will be drawn on, so that both use the same resolution.
            const QFontMetrics metrics = device ? QFontMetrics(font, device) : QFontMetrics(font);
            ShapedLine entry;
            entry.width = metrics.horizontalAdvance(key.text);
            entry.height = metrics.height();
            entry.ascent = metrics.ascent();
            it = lines.insert(key, std::move(entry));
        }
        found = &it.value();
        last = {font, application, dotsPerMeterX, dotsPerMeterY, key.text, found};
    }
    ShapedLine& entry = *found;
    if (forDrawing && !entry.layout) {
        const QFont resolved = font.resolve(QFont());
        auto layout =
            std::make_shared<QTextLayout>(QString(text), resolved, const_cast<QImage*>(device));
        layout->setCacheEnabled(true);
        layout->beginLayout();
        QTextLine line = layout->createLine();
        if (line.isValid()) line.setLineWidth(std::numeric_limits<int>::max() / 256);
        layout->endLayout();
        entry.layout = std::move(layout);
        MakeRuns(entry, resolved);
    }
    return entry;
}

} // namespace gdi::detail
