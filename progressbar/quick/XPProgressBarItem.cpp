// The control's Qt Quick item: a QuickHost for the control, and Qt Quick Controls' range and
// value over the control's percentage.
#include "progressbar/quick/XPProgressBarItem.h"

#include "platform/gdi/gdi.h"
#include "platform/runtime/errors.h"
#include "progressbar/StdFont.h"
#include "progressbar/StdPicture.h"
#include "progressbar/XP_ProgressBar.h"
#include "progressbar/quick/ItemAccessible.h"
#include "progressbar/quick/RangePercent.h"
#include "progressbar/widget/ComposedFrame.h"
#include "progressbar/widget/ToStdFont.h"

#include <QAccessible>
#include <QGuiApplication>
#include <QLocale>
#include <QPalette>
#include <QQuickWindow>
#include <QSGImageNode>
#include <QSGTexture>
#include <QtQml/qqml.h>
#include <QtQml/qqmlfile.h>
#include <QtQml/qqmlinfo.h>

#include <algorithm>
#include <cmath>

namespace xpbar {

namespace {

// The widget's size hint, so that both start at the same size.
constexpr QSize kHorizontalImplicitSize{233, 17};
// The widget's default format and busy animation step.
const QString kDefaultFormat = QStringLiteral("%p%");
constexpr int kBusyFrameMs = 50;

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

// A fractional device pixel ratio is drawn at the next whole one and scaled down smoothly, so
// that the gaps between blocks stay even.
int WholeScale(qreal ratio) {
    return std::max(1, int(std::ceil(ratio - 1e-6)));
}

// The Highlight of the palette's active group, as the widget reads its own. An item's palette
// is reached through its QML property (its type is not public); it is made on first reading and
// from then on follows the palettes above it.
QColor PaletteHighlight(QQuickItem& item) {
    const auto* palette = item.property("palette").value<QObject*>();
    const auto* active = palette ? palette->property("active").value<QObject*>() : nullptr;
    const QColor highlight = active ? active->property("highlight").value<QColor>() : QColor();
    return highlight.isValid()
               ? highlight
               : QGuiApplication::palette().color(QPalette::Active, QPalette::Highlight);
}

} // namespace

XPProgressBarItem::XPProgressBarItem(QQuickItem* parent)
    : QQuickItem(parent), format_(kDefaultFormat) {
    setFlag(ItemHasContents);
    InstallItemAccessibility();
    host_.onNotify = [this](const QString& name) { emit propertyChanged(name); };
    busyTimer_.setParent(this);
    busyTimer_.setObjectName(QStringLiteral("busyAnimation"));
    busyTimer_.setInterval(kBusyFrameMs);
    connect(&busyTimer_, &QTimer::timeout, this, [this] {
        ++busyFrame_;
        Refresh();
    });
    connect(this, &QQuickItem::paletteChanged, this, &XPProgressBarItem::FollowPalette);
    FollowPalette();
    UpdateImplicitSize();
    ShowPercent();
}

// QQuickItem's destructor leaves its window and parent, which may signal a palette or a
// mirroring change; by then the host is gone, so nothing may reach this item any more.
XPProgressBarItem::~XPProgressBarItem() {
    disconnect(this, nullptr, this, nullptr);
    for (QObject* attached : children())
        disconnect(attached, nullptr, this, nullptr);
}

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

qreal XPProgressBarItem::visualPosition() const {
    return FillsFromOtherEnd() ? 1.0 - position() : position();
}

bool XPProgressBarItem::FillsFromOtherEnd() const {
    const vex::XP_ProgressBar& control = host_.Control();
    const bool standing = control.GetOrientation() != 0 && CanStand(control.GetScrolling());
    return standing ? inverted_ : inverted_ != mirrored_;
}

void XPProgressBarItem::FillDirectionChanged(qreal oldVisualPosition) {
    if (visualPosition() != oldVisualPosition) emit visualPositionChanged();
    Refresh();
}

bool XPProgressBarItem::isIndeterminate() const {
    return indeterminate_ || from_ == to_;
}

// As ProgressBar: the value is kept within the range only once the item is complete, so that
// the order in which a QML file sets from, to and value does not matter.
void XPProgressBarItem::ChangeRange(qreal from, qreal to, qreal value, bool indeterminate) {
    if (isComponentComplete()) value = Bounded(from, to, value);
    const qreal oldPosition = position();
    const qreal oldVisualPosition = visualPosition();
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
    if (valueMoved) {
        emit valueChanged();
        if (isVisible() && window()) {
            QAccessibleValueChangeEvent event(this, value_);
            QAccessible::updateAccessibility(&event);
        }
    }
    if (position() != oldPosition) emit positionChanged();
    if (visualPosition() != oldVisualPosition) emit visualPositionChanged();
    if (flagChanged || isIndeterminate() != wasBusy) emit indeterminateChanged();
    ShowPercent();
}

// The control is handed a percentage on its own default range 0..100 as each frame is made, so
// no value of the item is ever refused by the control's arithmetic.
void XPProgressBarItem::ShowPercent() {
    const int percent = isIndeterminate() ? 0 : PercentOfRange(from_, to_, value_);
    vex::XP_ProgressBar& control = host_.Control();
    if (vex::IsTrue(control.GetShowText()) != textVisible_)
        Guarded("repaint failed", [&] { control.SetShowText(vex::ToBoolean(textVisible_)); });
    if (percent != percent_) {
        percent_ = percent;
        emit percentChanged();
    }
    const QString shown = text();
    host_.SetBarText(shown);
    if (shown != shownText_) {
        shownText_ = shown;
        emit textChanged();
    }
    FollowBusyState();
    Refresh();
}

// As the widget writes its text: numbers without group separators.
QString XPProgressBarItem::text() const {
    if (isIndeterminate()) return QString();
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    const auto number = [&](qreal x) {
        return locale.toString(x, 'f', QLocale::FloatingPointShortest);
    };
    QString result = format_;
    result.replace(QLatin1String("%m"), number(to_ - from_));
    result.replace(QLatin1String("%v"), number(value_));
    result.replace(QLatin1String("%p"), locale.toString(percent_));
    return result;
}

void XPProgressBarItem::setFormat(const QString& format) {
    if (format == format_) return;
    format_ = format;
    emit formatChanged();
    ShowPercent();
}

void XPProgressBarItem::resetFormat() {
    setFormat(kDefaultFormat);
}

XPProgressBarItem::BarStyle XPProgressBarItem::barStyle() const {
    return static_cast<BarStyle>(host_.Control().GetScrolling());
}

void XPProgressBarItem::setBarStyle(BarStyle style) {
    if (style == barStyle()) return;
    const qreal oldVisualPosition = visualPosition();
    Guarded("repaint failed", [&] { host_.Control().SetScrolling(style); });
    emit barStyleChanged();
    FillDirectionChanged(oldVisualPosition);
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
    explicitColor_ = true;
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
    const qreal oldVisualPosition = visualPosition();
    Guarded("repaint failed",
            [&] { host_.Control().SetOrientation(orientation == Qt::Horizontal ? 0 : 1); });
    emit orientationChanged();
    UpdateImplicitSize();
    FillDirectionChanged(oldVisualPosition);
}

void XPProgressBarItem::setInvertedAppearance(bool inverted) {
    if (inverted == inverted_) return;
    const qreal oldVisualPosition = visualPosition();
    inverted_ = inverted;
    emit invertedAppearanceChanged();
    FillDirectionChanged(oldVisualPosition);
}

void XPProgressBarItem::setTextDirection(Direction direction) {
    if (direction == textDirection_) return;
    textDirection_ = direction;
    emit textDirectionChanged();
    Refresh();
}

void XPProgressBarItem::FollowMirroring() {
    const bool mirrored = mirroring_.isValid() && mirroring_.read().toBool();
    if (mirrored == mirrored_) return;
    const qreal oldVisualPosition = visualPosition();
    mirrored_ = mirrored;
    emit mirroredChanged();
    FillDirectionChanged(oldVisualPosition);
}

void XPProgressBarItem::FollowPalette() {
    if (explicitColor_) return;
    const uint before = colorCode();
    const QColor highlight = PaletteHighlight(*this);
    Guarded("repaint failed",
            [&] { host_.Control().SetColor(gdi::BgrColor::FromQColor(highlight).Value()); });
    if (colorCode() == before) return;
    emit colorChanged();
    Refresh();
}

void XPProgressBarItem::UpdateImplicitSize() {
    const QSize size = orientation() == Qt::Horizontal ? kHorizontalImplicitSize
                                                       : kHorizontalImplicitSize.transposed();
    setImplicitSize(size.width(), size.height());
}

// LayoutMirroring and Accessible are QML's attached properties, reached by name through the
// item's QML context (their types are not public); an item made outside QML has neither.
void XPProgressBarItem::componentComplete() {
    QQuickItem::componentComplete();
    if (QQmlContext* context = qmlContext(this)) {
        mirroring_ = QQmlProperty(this, QStringLiteral("LayoutMirroring.enabled"), context);
        if (mirroring_.isValid()) mirroring_.connectNotifySignal(this, SLOT(FollowMirroring()));
        // Only an item with Accessible's properties stands in the window's accessibility tree.
        QQmlProperty(this, QStringLiteral("Accessible.role"), context)
            .write(int(QAccessible::ProgressBar));
    }
    FollowMirroring();
    ChangeRange(from_, to_, value_, indeterminate_);
}

void XPProgressBarItem::geometryChange(const QRectF& newGeometry, const QRectF& oldGeometry) {
    QQuickItem::geometryChange(newGeometry, oldGeometry);
    if (newGeometry.size() == oldGeometry.size()) return;
    const QSize pixels(qRound(newGeometry.width()), qRound(newGeometry.height()));
    Guarded("resize failed", [&] { host_.Resize(pixels); });
    Refresh();
}

void XPProgressBarItem::FollowBusyState() {
    const bool run = isIndeterminate() && isVisible() && window() != nullptr;
    if (run && !busyTimer_.isActive()) busyTimer_.start();
    if (!run) busyTimer_.stop();
}

void XPProgressBarItem::itemChange(ItemChange change, const ItemChangeData& data) {
    QQuickItem::itemChange(change, data);
    switch (change) {
    case ItemSceneChange:
    case ItemVisibleHasChanged:
        FollowBusyState();
        break;
    case ItemEnabledHasChanged:
    case ItemDevicePixelRatioHasChanged:
        Refresh();
        break;
    default:
        break;
    }
}

// The control paints on the GUI thread, in the polish step before each frame; the scene graph
// then takes the finished picture on its render thread, while the GUI thread waits.
void XPProgressBarItem::Refresh() {
    polish();
    update();
}

void XPProgressBarItem::updatePolish() {
    const qreal ratio = window() ? window()->effectiveDevicePixelRatio() : 1.0;
    FrameState state;
    state.percent = percent_;
    state.busy = isIndeterminate();
    state.busyFrame = busyFrame_;
    state.text = textVisible_ && !shownText_.isEmpty();
    state.enabled = isEnabled();
    state.inverted = inverted_;
    state.rightToLeft = mirrored_;
    state.textUpwards = textDirection_ == BottomToTop;
    Guarded("paint failed", [&] {
        frame_ = host_.Frame(state, WholeScale(ratio));
        frameRatio_ = ratio;
    });
}

// The picture is in device pixels of the next whole ratio and covers the item's logical
// rectangle: at a whole ratio each picture pixel is one device pixel, and a fractional one
// scales it down smoothly in one step, as the widget draws its picture into its backing store
// (a painted item's own texture in between would resample it twice).
QSGNode* XPProgressBarItem::updatePaintNode(QSGNode* node, UpdatePaintNodeData*) {
    auto* image = static_cast<QSGImageNode*>(node);
    if (frame_.isNull() || !window()) {
        delete image;
        return nullptr;
    }
    if (!image) image = window()->createImageNode();
    image->setTexture(window()->createTextureFromImage(frame_));
    image->setOwnsTexture(true);
    image->setRect(QRectF(QPointF(0, 0), QSizeF(frame_.size()) / WholeScale(frameRatio_)));
    image->setFiltering(frameRatio_ != WholeScale(frameRatio_) ? QSGTexture::Linear
                                                               : QSGTexture::Nearest);
    return image;
}

} // namespace xpbar
