#include "platform/gdi/text_cache.h"

#include <QFontMetrics>
#include <QHash>
#include <QPainter>
#include <QTextLine>

#include <limits>
#include <tuple>

namespace gdi::detail {

namespace {

// Enough for every text a few bars show; past it the cache starts over rather than grow.
constexpr qsizetype kMaxLines = 512;

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

} // namespace

void ShapedLine::Draw(QPainter& painter, const QPointF& baseline) const {
    const QTextLine line = layout->lineAt(0);
    layout->draw(&painter, QPointF(baseline.x(), baseline.y() - line.ascent()));
}

const ShapedLine& ShapeLine(const QFont& font, const QImage* device, const QString& text,
                            bool forDrawing) {
    auto& lines = Lines();
    // QPainter::setFont fills in what the font leaves unset (antialiasing, say) from the
    // application's font; the layout must draw with the same font.
    const QFont resolved = font.resolve(QFont());
    Key key{font, resolved, device ? device->dotsPerMeterX() : 0,
            device ? device->dotsPerMeterY() : 0, text};
    auto it = lines.find(key);
    if (it == lines.end()) {
        if (lines.size() >= kMaxLines) lines.clear();
        // Measured on the device that will be drawn on, so that both use the same resolution.
        const QFontMetrics metrics = device ? QFontMetrics(font, device) : QFontMetrics(font);
        ShapedLine entry;
        entry.width = metrics.horizontalAdvance(text);
        entry.height = metrics.height();
        entry.ascent = metrics.ascent();
        it = lines.insert(key, std::move(entry));
    }
    ShapedLine& entry = it.value();
    if (forDrawing && !entry.layout) {
        auto layout = std::make_shared<QTextLayout>(text, resolved, const_cast<QImage*>(device));
        layout->setCacheEnabled(true);
        layout->beginLayout();
        QTextLine line = layout->createLine();
        if (line.isValid()) line.setLineWidth(std::numeric_limits<int>::max() / 256);
        layout->endLayout();
        entry.layout = std::move(layout);
    }
    return entry;
}

} // namespace gdi::detail
