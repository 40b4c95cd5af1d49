// The contact sheet: every style at five values, without and with text, labelled.
#include "app/xpbar-render/gallery.h"

#include "app/xpbar-render/render.h"

#include "progressbar/ScrollingStyle.h"
#include "progressbar/StdPicture.h"
#include "progressbar/XP_ProgressBar.h"
#include "progressbar/widget/BarFrames.h"

#include <QDir>
#include <QPainter>

#include <array>

namespace xpbar {

namespace {

constexpr std::array<Long, 5> kValues = {0, 25, 50, 75, 100};
constexpr int kBarWidth = 120;
constexpr int kBarHeight = 20;
constexpr int kVerticalWidth = 20;
constexpr int kVerticalHeight = 100;
constexpr int kMargin = 12;
constexpr int kSpacing = 8;
constexpr int kLabelWidth = 150;
constexpr int kHeaderHeight = 22;
constexpr int kGroupGap = 24;
// The hatch style shows its diagonal cross; a new control would show horizontal lines.
constexpr Long kGalleryHatch = 5;

// A small two-colour tile for the picture style, so that its tiling is visible.
std::shared_ptr<vex::StdPicture> GalleryPicture() {
    QImage tile(8, 8, QImage::Format_RGB32);
    for (int y = 0; y < tile.height(); ++y) {
        for (int x = 0; x < tile.width(); ++x) {
            const bool dark = ((x / 4) + (y / 4)) % 2 == 0;
            tile.setPixel(x, y, dark ? qRgb(0x30, 0x70, 0xC0) : qRgb(0xF0, 0xC0, 0x40));
        }
    }
    return std::make_shared<vex::StdPicture>(tile);
}

QImage Bar(Long style, Long value, bool text, bool vertical, bool disabled) {
    Options o;
    o.width = vertical ? kVerticalWidth : kBarWidth;
    o.height = vertical ? kVerticalHeight : kBarHeight;
    o.style = style;
    o.value = value;
    o.text = text;
    if (vertical) o.orientation = 1;
    if (style == vex::Hatch) o.brushStyle = kGalleryHatch;
    const QImage bar = RenderBar(o, style == vex::Picture ? GalleryPicture() : nullptr).screen;
    return disabled ? Greyed(bar) : bar;
}

} // namespace

QImage RenderGallery(bool disabled) {
    const int cells = 2 * static_cast<int>(kValues.size());
    const int columnWidth = kBarWidth + kSpacing;
    const int width = 2 * kMargin + kLabelWidth + cells * columnWidth;
    const int rowHeight = kBarHeight + kSpacing;
    const int styles = static_cast<int>(std::size(vex::kScrollingStyles));
    const int height = 2 * kMargin + kHeaderHeight + styles * rowHeight + kGroupGap +
                       kHeaderHeight + kVerticalHeight + kSpacing;

    QImage sheet(width, height, QImage::Format_RGB32);
    sheet.fill(qRgb(0xF4, 0xF4, 0xF4));
    QPainter p(&sheet);
    p.setPen(QColor(0x20, 0x20, 0x20));

    auto header = [&](int y, const QString& title) {
        p.drawText(QRect(kMargin, y, kLabelWidth, kHeaderHeight), Qt::AlignVCenter, title);
        for (int c = 0; c < cells; ++c) {
            const Long value = kValues[c % kValues.size()];
            const QString label = QStringLiteral("%1 %%2").arg(value).arg(c < 5 ? "" : ", text");
            const int x = kMargin + kLabelWidth + c * columnWidth;
            p.drawText(QRect(x, y, kBarWidth, kHeaderHeight), Qt::AlignVCenter, label);
        }
    };

    int y = kMargin;
    header(y, QStringLiteral("Scrolling"));
    y += kHeaderHeight;
    for (const vex::ScrollingStyleName& s : vex::kScrollingStyles) {
        p.drawText(QRect(kMargin, y, kLabelWidth, kBarHeight), Qt::AlignVCenter,
                   QStringLiteral("%1  %2").arg(s.style).arg(s.name));
        for (int c = 0; c < cells; ++c) {
            const int x = kMargin + kLabelWidth + c * columnWidth;
            p.drawImage(x, y, Bar(s.style, kValues[c % kValues.size()], c >= 5, false, disabled));
        }
        y += rowHeight;
    }

    y += kGroupGap;
    header(y, QStringLiteral("Vertical"));
    y += kHeaderHeight;
    // The XP styles side by side in every cell column, in style order.
    for (int k = 0; k < vex::kVerticalStyleCount; ++k) {
        const vex::ScrollingStyleName& s = vex::kScrollingStyles[k];
        const QString label = QStringLiteral("%1  %2").arg(s.style).arg(s.name);
        p.drawText(QRect(kMargin, y + k * kHeaderHeight, kLabelWidth, kHeaderHeight),
                   Qt::AlignVCenter, label);
    }
    p.drawText(
        QRect(kMargin, y + vex::kVerticalStyleCount * kHeaderHeight, kLabelWidth, kHeaderHeight),
        Qt::AlignVCenter, QStringLiteral("(left to right)"));
    for (int c = 0; c < cells; ++c) {
        const int x = kMargin + kLabelWidth + c * columnWidth;
        for (int k = 0; k < vex::kVerticalStyleCount; ++k) {
            const QImage bar = Bar(vex::kScrollingStyles[k].style, kValues[c % kValues.size()],
                                   c >= 5, true, disabled);
            p.drawImage(x + k * (kVerticalWidth + kSpacing + 10), y, bar);
        }
    }
    p.end();
    return sheet;
}

QString WriteGallery(const QString& dir, QString* written) {
    if (!QDir().mkpath(dir)) return QStringLiteral("cannot create the folder '%1'").arg(dir);
    const QString file = QDir(dir).filePath(QStringLiteral("gallery.png"));
    QString error = SaveImage(RenderGallery(), file);
    if (error.isEmpty())
        error = SaveImage(RenderGallery(true),
                          QDir(dir).filePath(QStringLiteral("gallery-disabled.png")));
    if (error.isEmpty() && written != nullptr) *written = file;
    return error;
}

} // namespace xpbar
