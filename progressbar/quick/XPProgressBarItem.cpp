// The control's Qt Quick item: a QuickHost for the control, and Qt Quick Controls' range and
// value over the control's percentage.
#include "progressbar/quick/XPProgressBarItem.h"

#include "platform/gdi/gdi.h"
#include "platform/runtime/errors.h"
#include "progressbar/StdFont.h"
#include "progressbar/StdPicture.h"
#include "progressbar/XP_ProgressBar.h"
#include "progressbar/quick/RangePercent.h"
#include "progressbar/quick/ToStdFont.h"

#include <QPainter>
#include <QtQml/qqmlfile.h>
#include <QtQml/qqmlinfo.h>

#include <algorithm>
#include <cmath>

namespace xpbar {

namespace {

// The widget's size hint, so that both start at the same size.
constexpr QSize kHorizontalImplicitSize{233, 17};

// A setter keeps its new setting even when the control's repaint fails (its coordinate
// overflow on an enormous item); the item then shows what the control drew before.
template <typename Step> void Guarded(const char* what, Step&& step) {
    try {
        step();
    } catch (const vex::RuntimeError& e) {
        qWarning("XPProgressBar: %s: %s", what, e.what());
    }
}

qreal Bounded(qreal from, qreal to, qreal value) {
    return std::clamp(value, std::min(from, to), std::max(from, to));
}

} // namespace

XPProgressBarItem::XPProgressBarItem(QQuickItem* parent) : QQuickPaintedItem(parent) {
    host_.onNotify = [this](const QString& name) { emit propertyChanged(name); };
    UpdateImplicitSize();
}

XPProgressBarItem::~XPProgressBarItem() = default;

void XPProgressBarItem::setFrom(qreal from) {
    if (std::isnan(from)) return;
    ChangeRange(from, to_, value_, indeterminate_);
}

void XPProgressBarItem::setTo(qreal to) {
    if (std::isnan(to)) return;
    ChangeRange(from_, to, value_, indeterminate_);
}

void XPProgressBarItem::setValue(qreal value) {
    if (std::isnan(value)) return;
    ChangeRange(from_, to_, value, indeterminate_);
}

void XPProgressBarItem::setIndeterminate(bool indeterminate) {
    ChangeRange(from_, to_, value_, indeterminate);
}

qreal XPProgressBarItem::position() const {
    return PositionInRange(from_, to_, value_);
}

bool XPProgressBarItem::isIndeterminate() const {
    return indeterminate_ || from_ == to_;
}

// As ProgressBar: the value is kept within the range only once the item is complete, so that
// the order in which a QML file sets from, to and value does not matter.
void XPProgressBarItem::ChangeRange(qreal from, qreal to, qreal value, bool indeterminate) {
    if (isComponentComplete()) value = Bounded(from, to, value);
    const qreal oldPosition = position();
    const bool wasBusy = isIndeterminate();
    const bool fromMoved = from != from_;
    const bool toMoved = to != to_;
    const bool valueMoved = value != value_;
    const bool flagChanged = indeterminate != indeterminate_;
    from_ = from;
    to_ = to;
    value_ = value;
    indeterminate_ = indeterminate;
    if (fromMoved) emit fromChanged();
    if (toMoved) emit toChanged();
    if (valueMoved) emit valueChanged();
    if (position() != oldPosition) {
        emit positionChanged();
        emit visualPositionChanged();
    }
    if (flagChanged || isIndeterminate() != wasBusy) emit indeterminateChanged();
    ShowPercent();
}

// The control is handed a percentage on its own default range 0..100, so no value of the item
// is ever refused by the control's arithmetic.
void XPProgressBarItem::ShowPercent() {
    const bool busy = isIndeterminate();
    const int percent = busy ? 0 : PercentOfRange(from_, to_, value_);
    const bool text = textVisible_ && !busy;
    vex::XP_ProgressBar& control = host_.Control();
    if (percent != control.StoredPercent())
        Guarded("repaint failed", [&] { control.SetValue(percent); });
    if (vex::IsTrue(control.GetShowText()) != text)
        Guarded("repaint failed", [&] { control.SetShowText(vex::ToBoolean(text)); });
    if (percent != percent_) {
        percent_ = percent;
        emit percentChanged();
    }
    Refresh();
}

XPProgressBarItem::BarStyle XPProgressBarItem::barStyle() const {
    return static_cast<BarStyle>(host_.Control().GetScrolling());
}

void XPProgressBarItem::setBarStyle(BarStyle style) {
    if (style == barStyle()) return;
    Guarded("repaint failed", [&] { host_.Control().SetScrolling(style); });
    emit barStyleChanged();
    Refresh();
}

QColor XPProgressBarItem::color() const {
    return gdi::BgrColor(host_.Control().GetColor()).ToQColor();
}

void XPProgressBarItem::setColor(const QColor& color) {
    if (!color.isValid()) return;
    setColorCode(static_cast<uint>(gdi::BgrColor::FromQColor(color).Value()));
}

uint XPProgressBarItem::colorCode() const {
    return static_cast<uint>(host_.Control().GetColor());
}

void XPProgressBarItem::setColorCode(uint code) {
    const uint before = colorCode();
    Guarded("repaint failed", [&] { host_.Control().SetColor(static_cast<vex::Long>(code)); });
    if (colorCode() == before) return;
    emit colorChanged();
    Refresh();
}

// The control's BrushStyle can be set but not read, so the item keeps what it set.
void XPProgressBarItem::setBrushStyle(int style) {
    if (style == brushStyle_) return;
    host_.Control().SetBrushStyle(style);
    brushStyle_ = style;
    emit brushStyleChanged();
    Refresh();
}

QImage XPProgressBarItem::image() const {
    const auto picture = host_.Control().GetImage();
    return picture ? picture->Image() : QImage();
}

void XPProgressBarItem::setImage(const QImage& image) {
    if (image == this->image()) return;
    Guarded("repaint failed", [&] {
        host_.Control().SetImage(image.isNull() ? nullptr
                                                : std::make_shared<vex::StdPicture>(image));
    });
    emit imageChanged();
    Refresh();
}

void XPProgressBarItem::setImageSource(const QUrl& source) {
    if (source == imageSource_) return;
    imageSource_ = source;
    emit imageSourceChanged();
    QImage picture;
    if (!source.isEmpty()) {
        const QString path = QQmlFile::urlToLocalFileOrQrc(source);
        if (path.isEmpty() || !picture.load(path))
            qmlWarning(this) << "cannot read the picture " << source.toString();
    }
    setImage(picture);
}

QFont XPProgressBarItem::font() const {
    const auto font = host_.Control().GetFont();
    return font ? font->ToQFont() : QFont();
}

void XPProgressBarItem::setFont(const QFont& font) {
    if (font == this->font()) return;
    host_.Control().SetFont(ToStdFont(font));
    emit fontChanged();
    Refresh();
}

void XPProgressBarItem::setTextVisible(bool visible) {
    if (visible == textVisible_) return;
    textVisible_ = visible;
    emit textVisibleChanged();
    ShowPercent();
}

Qt::Orientation XPProgressBarItem::orientation() const {
    return host_.Control().GetOrientation() == 0 ? Qt::Horizontal : Qt::Vertical;
}

void XPProgressBarItem::setOrientation(Qt::Orientation orientation) {
    if (orientation == this->orientation()) return;
    Guarded("repaint failed",
            [&] { host_.Control().SetOrientation(orientation == Qt::Horizontal ? 0 : 1); });
    emit orientationChanged();
    UpdateImplicitSize();
    Refresh();
}

void XPProgressBarItem::UpdateImplicitSize() {
    const QSize size = orientation() == Qt::Horizontal ? kHorizontalImplicitSize
                                                       : kHorizontalImplicitSize.transposed();
    setImplicitSize(size.width(), size.height());
}

void XPProgressBarItem::componentComplete() {
    QQuickPaintedItem::componentComplete();
    ChangeRange(from_, to_, value_, indeterminate_);
}

void XPProgressBarItem::geometryChange(const QRectF& newGeometry, const QRectF& oldGeometry) {
    QQuickPaintedItem::geometryChange(newGeometry, oldGeometry);
    if (newGeometry.size() == oldGeometry.size()) return;
    const QSize pixels(qRound(newGeometry.width()), qRound(newGeometry.height()));
    Guarded("resize failed", [&] { host_.Resize(pixels); });
    Refresh();
}

// The control paints on the GUI thread, in the polish step before each frame; the scene graph
// may call paint() on its render thread, which then only copies the finished picture.
void XPProgressBarItem::Refresh() {
    polish();
    update();
}

void XPProgressBarItem::updatePolish() {
    Guarded("paint failed", [&] { host_.Control().PaintControl(); });
}

// The picture is the control's, in logical pixels; at a device pixel ratio above 1 each of its
// pixels covers a square of device pixels, as in the widget.
void XPProgressBarItem::paint(QPainter* painter) {
    painter->setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter->drawImage(QPointF(0, 0), host_.Screen());
}

} // namespace xpbar
