#include "app/vexbrindle/window/WindowIcon.h"

#include <QPainter>
#include <QPolygon>

namespace vex::qtui {

const std::array<QRgb, 16> kIconPalette{
    0xFF000000, 0xFF800000, 0xFF008000, 0xFF808000, 0xFF000080, 0xFF800080, 0xFF008080, 0xFFC0C0C0,
    0xFF808080, 0xFFFF0000, 0xFF00FF00, 0xFFFFFF00, 0xFF0000FF, 0xFFFF00FF, 0xFF00FFFF, 0xFFFFFFFF,
};

namespace {

constexpr QRgb kBlack = 0xFF000000;
constexpr QRgb kGreen = 0xFF008000;
constexpr QRgb kNavy = 0xFF000080;
constexpr QRgb kSilver = 0xFFC0C0C0;
constexpr QRgb kGrey = 0xFF808080;
constexpr QRgb kLime = 0xFF00FF00;
constexpr QRgb kWhite = 0xFFFFFFFF;

} // namespace

QImage DrawWindowIcon(int size) {
    QImage icon(size, size, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    // The design is laid out on a 16-unit grid; one unit is one pixel at 16 and two at 32.
    const int u = size / 16;
    QPainter p(&icon);
    p.setRenderHint(QPainter::Antialiasing, false);

    // The page, with a folded top-right corner and a drop shadow.
    p.fillRect(3 * u, 2 * u, 10 * u, 13 * u, QColor(kGrey));
    const QPolygon page(
        {{1 * u, 0}, {8 * u, 0}, {11 * u, 3 * u}, {11 * u, 14 * u - 1}, {1 * u, 14 * u - 1}});
    p.setPen(QColor(kBlack));
    p.setBrush(QColor(kWhite));
    p.drawPolygon(page);
    p.setBrush(QColor(kSilver));
    p.drawPolygon(QPolygon({{8 * u, 0}, {8 * u, 3 * u}, {11 * u, 3 * u}}));

    // Lines of text on the page.
    for (int row : {4, 6, 8, 10})
        p.fillRect(3 * u, row * u, (row < 8 ? 6 : 4) * u, u, QColor(kNavy));

    // The arrow: a shaft and a head pointing down, green with a light edge.
    const QPolygon arrow({{10 * u, 5 * u},
                          {13 * u, 5 * u},
                          {13 * u, 10 * u},
                          {15 * u, 10 * u},
                          {23 * u / 2, 16 * u - 1},
                          {8 * u, 10 * u},
                          {10 * u, 10 * u}});
    p.setPen(QColor(kBlack));
    p.setBrush(QColor(kGreen));
    p.drawPolygon(arrow);
    p.fillRect(10 * u + 1, 5 * u + 1, u, 5 * u, QColor(kLime));
    p.end();
    return icon;
}

QIcon WindowIcon() {
    QIcon icon;
    icon.addPixmap(QPixmap::fromImage(DrawWindowIcon(32)));
    icon.addPixmap(QPixmap::fromImage(DrawWindowIcon(16)));
    return icon;
}

} // namespace vex::qtui
