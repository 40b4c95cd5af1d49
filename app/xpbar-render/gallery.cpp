// The contact sheets: every style at five values, without and with text, labelled; once as the
// control paints it, then as the widget shows it in each of its states.
#include "app/xpbar-render/gallery.h"

#include "app/xpbar-render/render.h"

#include "progressbar/ScrollingStyle.h"
#include "progressbar/StdFont.h"
#include "progressbar/StdPicture.h"
#include "progressbar/XP_ProgressBar.h"
#include "progressbar/headless/HeadlessHost.h"
#include "progressbar/widget/XPProgressBar.h"

#include <QDir>
#include <QPainter>
#include <QPalette>

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

// The palette's Highlight on the palette sheet: far from every look's own colours.
const QColor kGalleryHighlight(0xC0, 0x20, 0x60);
// The font of the font sheet: larger than the control's, bold and with serifs, so that the
// change shows in every text.
const QFont& GalleryFont() {
    static const QFont font(QStringLiteral("DejaVu Serif"), 10, QFont::Bold);
    return font;
}

// A small two-colour tile for the picture style, so that its tiling is visible.
QImage GalleryTile() {
    QImage tile(8, 8, QImage::Format_RGB32);
    for (int y = 0; y < tile.height(); ++y) {
        for (int x = 0; x < tile.width(); ++x) {
            const bool dark = ((x / 4) + (y / 4)) % 2 == 0;
            tile.setPixel(x, y, dark ? qRgb(0x30, 0x70, 0xC0) : qRgb(0xF0, 0xC0, 0x40));
        }
    }
    return tile;
}

// The bar colour a new control has, which the widget would otherwise take from the palette.
uint ControlColour() {
    static const uint colour = [] {
        vex::HeadlessHost host(1, 1);
        return static_cast<uint>(host.Control().GetColor());
    }();
    return colour;
}

struct Cell {
    Long style;
    Long value;
    bool text;
    bool vertical;
};

// The control's own picture, as the render tool paints one bar.
QImage ControlBar(const Cell& c) {
    Options o;
    o.width = c.vertical ? kVerticalWidth : kBarWidth;
    o.height = c.vertical ? kVerticalHeight : kBarHeight;
    o.style = c.style;
    o.value = c.value;
    o.text = c.text;
    if (c.vertical) o.orientation = 1;
    if (c.style == vex::Hatch) o.brushStyle = kGalleryHatch;
    const auto picture =
        c.style == vex::Picture ? std::make_shared<vex::StdPicture>(GalleryTile()) : nullptr;
    return RenderBar(o, picture).screen;
}

// What an XPProgressBar shows in the sheet's state. It starts as the plain sheet's bar (the
// control's text, font and colour, set as an application sets what it needs); the state is
// changed last, on a bar that already shows, as a running program would change it.
QImage WidgetBar(const Cell& c, GallerySheet sheet) {
    XPProgressBar bar;
    bar.resize(c.vertical ? kVerticalWidth : kBarWidth, c.vertical ? kVerticalHeight : kBarHeight);
    bar.setFormat(QStringLiteral("%p %"));
    bar.setFont(vex::StdFont().ToQFont());
    bar.setBarStyle(static_cast<XPProgressBar::BarStyle>(c.style));
    if (sheet != GallerySheet::Palette) bar.setColorCode(ControlColour());
    if (c.style == vex::Hatch) bar.setBrushStyle(kGalleryHatch);
    if (c.style == vex::Picture) bar.setImage(GalleryTile());
    if (c.vertical) bar.setOrientation(Qt::Vertical);
    bar.setTextVisible(c.text);
    bar.setValue(static_cast<int>(c.value));

    qreal ratio = 1;
    switch (sheet) {
    case GallerySheet::Disabled:
        bar.setEnabled(false);
        break;
    case GallerySheet::RightToLeft:
        bar.setLayoutDirection(Qt::RightToLeft);
        break;
    case GallerySheet::Palette: {
        QPalette palette = bar.palette();
        palette.setColor(QPalette::Highlight, kGalleryHighlight);
        bar.setPalette(palette);
        break;
    }
    case GallerySheet::Font:
        bar.setFont(GalleryFont());
        break;
    case GallerySheet::Double:
        ratio = 2;
        break;
    case GallerySheet::Plain:
        break;
    }
    QImage shown(bar.size() * ratio, QImage::Format_RGB32);
    shown.setDevicePixelRatio(ratio);
    shown.fill(Qt::white);
    bar.render(&shown);
    return shown;
}

QImage Bar(const Cell& c, GallerySheet sheet) {
    return sheet == GallerySheet::Plain ? ControlBar(c) : WidgetBar(c, sheet);
}

QString Title(GallerySheet sheet) {
    switch (sheet) {
    case GallerySheet::Disabled:
        return QStringLiteral("Scrolling, disabled");
    case GallerySheet::RightToLeft:
        return QStringLiteral("Scrolling, right to left");
    case GallerySheet::Palette:
        return QStringLiteral("Scrolling, Highlight");
    case GallerySheet::Font:
        return QStringLiteral("Scrolling, bold serif");
    case GallerySheet::Double:
        return QStringLiteral("Scrolling, 2x");
    case GallerySheet::Plain:
        break;
    }
    return QStringLiteral("Scrolling");
}

} // namespace

QImage RenderGallery(GallerySheet sheet) {
    const int cells = 2 * static_cast<int>(kValues.size());
    const int columnWidth = kBarWidth + kSpacing;
    const int width = 2 * kMargin + kLabelWidth + cells * columnWidth;
    const int rowHeight = kBarHeight + kSpacing;
    const int styles = static_cast<int>(std::size(vex::kScrollingStyles));
    const int height = 2 * kMargin + kHeaderHeight + styles * rowHeight + kGroupGap +
                       kHeaderHeight + kVerticalHeight + kSpacing;

    // At a ratio of 2 the labels are drawn at device resolution as well.
    const int ratio = sheet == GallerySheet::Double ? 2 : 1;
    QImage picture(width * ratio, height * ratio, QImage::Format_RGB32);
    picture.setDevicePixelRatio(ratio);
    picture.fill(qRgb(0xF4, 0xF4, 0xF4));
    QPainter p(&picture);
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
    header(y, Title(sheet));
    y += kHeaderHeight;
    for (const vex::ScrollingStyleName& s : vex::kScrollingStyles) {
        p.drawText(QRect(kMargin, y, kLabelWidth, kBarHeight), Qt::AlignVCenter,
                   QStringLiteral("%1  %2").arg(s.style).arg(s.name));
        for (int c = 0; c < cells; ++c) {
            const int x = kMargin + kLabelWidth + c * columnWidth;
            p.drawImage(QPoint(x, y),
                        Bar({s.style, kValues[c % kValues.size()], c >= 5, false}, sheet));
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
            const QImage bar = Bar(
                {vex::kScrollingStyles[k].style, kValues[c % kValues.size()], c >= 5, true}, sheet);
            p.drawImage(QPoint(x + k * (kVerticalWidth + kSpacing + 10), y), bar);
        }
    }
    p.end();
    picture.setDevicePixelRatio(1);
    return picture;
}

QString WriteGallery(const QString& dir, QString* written) {
    if (!QDir().mkpath(dir)) return QStringLiteral("cannot create the folder '%1'").arg(dir);
    struct File {
        GallerySheet sheet;
        const char* name;
    };
    static constexpr File kFiles[] = {
        {GallerySheet::Plain, "gallery.png"},
        {GallerySheet::Disabled, "gallery-disabled.png"},
        {GallerySheet::RightToLeft, "gallery-rtl.png"},
        {GallerySheet::Palette, "gallery-palette.png"},
        {GallerySheet::Font, "gallery-font.png"},
        {GallerySheet::Double, "gallery-2x.png"},
    };
    for (const File& f : kFiles) {
        const QString error =
            SaveImage(RenderGallery(f.sheet), QDir(dir).filePath(QString::fromLatin1(f.name)));
        if (!error.isEmpty()) return error;
    }
    if (written != nullptr) *written = QDir(dir).filePath(QString::fromLatin1(kFiles[0].name));
    return QString();
}

} // namespace xpbar
