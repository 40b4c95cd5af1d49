#pragma once

#include "progressbar/quick/QuickHost.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QQmlProperty>
#include <QQuickItem>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

namespace xpbar {

// The progress bar as a Qt Quick item, `XPProgressBar` in the QML module of the same name. Its
// range follows Qt Quick Controls' ProgressBar: `value` lies between `from` and `to` (reals,
// 0 to 1 by default; `from` may be the larger end), `position` is where it stands (0..1),
// `visualPosition` the same counted from the end the fill starts at, and the bar shows the
// percentage the widget shows for it (counted in 64-bit integers for whole numbers, so an int range
// gives the widget's number exactly). A range whose ends are equal, or `indeterminate` set, is the
// busy state: the widget's busy animation, without text, runs while the item is visible.
//
// The looks, colour, hatch, picture, font, text, orientation, inverted appearance and text
// direction are the control's and the widget's, with the widget's names and defaults (the text
// visible); `format` and `text` are QProgressBar's ("%p%" by default, %p, %v and %m replaced).
// The item draws the same pixels as the widget XPProgressBar in the same state: greyed when
// disabled, filling from the right where QML's LayoutMirroring mirrors it (`mirrored`), the bar
// colour following the palette's Highlight until one is set, and at a device pixel ratio of 2
// the 1x picture with every step doubled and the text at device resolution (a fractional ratio
// from the next whole one, scaled down). Assistive technology sees a progress bar whose value
// is `value` and whose minimum and maximum are the lower and upper of `from` and `to`.
//
// Differences from the widget: a range with equal ends other than 0 to 0 is busy here
// (ProgressBar has no position there), where the widget shows it full. An item made from C++
// outside any QML context sees no LayoutMirroring.
class XPProgressBarItem : public QQuickItem {
    Q_OBJECT
    QML_NAMED_ELEMENT(XPProgressBar)
    Q_PROPERTY(qreal from READ from WRITE setFrom NOTIFY fromChanged FINAL)
    Q_PROPERTY(qreal to READ to WRITE setTo NOTIFY toChanged FINAL)
    Q_PROPERTY(qreal value READ value WRITE setValue NOTIFY valueChanged FINAL)
    Q_PROPERTY(qreal position READ position NOTIFY positionChanged FINAL)
    Q_PROPERTY(qreal visualPosition READ visualPosition NOTIFY visualPositionChanged FINAL)
    Q_PROPERTY(bool indeterminate READ isIndeterminate WRITE setIndeterminate NOTIFY
                   indeterminateChanged FINAL)
    Q_PROPERTY(int percent READ percent NOTIFY percentChanged FINAL)
    Q_PROPERTY(BarStyle barStyle READ barStyle WRITE setBarStyle NOTIFY barStyleChanged FINAL)
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY colorChanged FINAL)
    Q_PROPERTY(uint colorCode READ colorCode WRITE setColorCode NOTIFY colorChanged FINAL)
    Q_PROPERTY(int brushStyle READ brushStyle WRITE setBrushStyle NOTIFY brushStyleChanged FINAL)
    Q_PROPERTY(QImage image READ image WRITE setImage NOTIFY imageChanged FINAL)
    Q_PROPERTY(
        QUrl imageSource READ imageSource WRITE setImageSource NOTIFY imageSourceChanged FINAL)
    Q_PROPERTY(QFont font READ font WRITE setFont NOTIFY fontChanged FINAL)
    Q_PROPERTY(
        bool textVisible READ isTextVisible WRITE setTextVisible NOTIFY textVisibleChanged FINAL)
    Q_PROPERTY(
        QString format READ format WRITE setFormat RESET resetFormat NOTIFY formatChanged FINAL)
    Q_PROPERTY(QString text READ text NOTIFY textChanged FINAL)
    Q_PROPERTY(Qt::Orientation orientation READ orientation WRITE setOrientation NOTIFY
                   orientationChanged FINAL)
    Q_PROPERTY(bool invertedAppearance READ invertedAppearance WRITE setInvertedAppearance NOTIFY
                   invertedAppearanceChanged FINAL)
    Q_PROPERTY(Direction textDirection READ textDirection WRITE setTextDirection NOTIFY
                   textDirectionChanged FINAL)
    Q_PROPERTY(bool mirrored READ isMirrored NOTIFY mirroredChanged FINAL)

  public:
    // The ten looks, numbered as the widget's BarStyle.
    enum BarStyle {
        XPBlocks = 0,
        XPSmooth = 1,
        XPSearching = 2,
        Flat = 3,
        Etched = 4,
        Shaded = 5,
        Dark = 6,
        Hatch = 7,
        Picture = 8,
        Glass = 9,
    };
    Q_ENUM(BarStyle)

    // Which way a standing bar's text reads, as the widget's Direction.
    enum Direction {
        TopToBottom = 0, // turned clockwise
        BottomToTop = 1, // turned counter-clockwise
    };
    Q_ENUM(Direction)

    explicit XPProgressBarItem(QQuickItem* parent = nullptr);
    ~XPProgressBarItem() override;

    qreal from() const { return from_; }
    void setFrom(qreal from);
    qreal to() const { return to_; }
    void setTo(qreal to);
    // Kept within the range once the item is complete; NaN is ignored.
    qreal value() const { return value_; }
    void setValue(qreal value);
    qreal position() const;
    // 1 - position while the fill runs from the other end (right to left, or top to bottom
    // when standing).
    qreal visualPosition() const;
    bool isIndeterminate() const;
    void setIndeterminate(bool indeterminate);
    // What the bar shows: QProgressBar's percentage for the value, 0 while busy.
    int percent() const { return percent_; }

    BarStyle barStyle() const;
    void setBarStyle(BarStyle style);
    // The bar colour; until one is set, the palette's Highlight (of its active group), live.
    // An invalid colour is ignored and the alpha is not used.
    QColor color() const;
    void setColor(const QColor& color);
    // The same as a 0x00BBGGRR code; a code with the top bit set names a system colour and is
    // stored as the RGB it has now.
    uint colorCode() const;
    void setColorCode(uint code);
    // The hatch of the Hatch look: 0 horizontal, 1 vertical, 2 and 3 diagonal, 4 cross,
    // 5 diagonal cross.
    int brushStyle() const { return brushStyle_; }
    void setBrushStyle(int style);
    // The picture the Picture look tiles; a null image removes it. imageSource reads it from a
    // local file or a resource; a picture that cannot be read leaves none and logs a warning.
    QImage image() const;
    void setImage(const QImage& image);
    QUrl imageSource() const { return imageSource_; }
    void setImageSource(const QUrl& source);
    // The text's font; until one is set, the application's font.
    QFont font() const;
    void setFont(const QFont& font);
    // Whether the text is drawn over the bar (on by default, as the widget's).
    bool isTextVisible() const { return textVisible_; }
    void setTextVisible(bool visible);
    // The text's format, as QProgressBar's: "%p%" by default; %p (percent), %v (value) and %m
    // (to - from) are replaced.
    QString format() const { return format_; }
    void setFormat(const QString& format);
    void resetFormat();
    // The text the bar shows: the format with its placeholders replaced; empty while busy.
    QString text() const;
    Qt::Orientation orientation() const;
    void setOrientation(Qt::Orientation orientation);
    // Whether the bar fills from the other end (right to left, or top to bottom when standing);
    // a mirrored layout turns a lying bar once more, as it turns the widget.
    bool invertedAppearance() const { return inverted_; }
    void setInvertedAppearance(bool inverted);
    // Which way a standing bar's text reads (TopToBottom by default).
    Direction textDirection() const { return textDirection_; }
    void setTextDirection(Direction direction);
    // Whether QML's LayoutMirroring mirrors the item, set on it or inherited.
    bool isMirrored() const { return mirrored_; }

    // The last picture the item showed, in device pixels (the next whole device pixel ratio).
    const QImage& shownImage() const { return frame_; }

  signals:
    void fromChanged();
    void toChanged();
    void valueChanged();
    void positionChanged();
    void visualPositionChanged();
    void indeterminateChanged();
    void percentChanged();
    void barStyleChanged();
    void colorChanged();
    void brushStyleChanged();
    void imageChanged();
    void imageSourceChanged();
    void fontChanged();
    void textVisibleChanged();
    void formatChanged();
    void textChanged();
    void orientationChanged();
    void invertedAppearanceChanged();
    void textDirectionChanged();
    void mirroredChanged();
    // A stored property of the control changed, by its stored name ("Scrolling", ...).
    void propertyChanged(const QString& name);

  protected:
    void componentComplete() override;
    void geometryChange(const QRectF& newGeometry, const QRectF& oldGeometry) override;
    void updatePolish() override;
    void itemChange(ItemChange change, const ItemChangeData& data) override;
    QSGNode* updatePaintNode(QSGNode* node, UpdatePaintNodeData* data) override;

  private Q_SLOTS:
    // The layout's mirroring, as LayoutMirroring reports it for the item.
    void FollowMirroring();

  private:
    // The bar colour follows the palette's Highlight until one is set.
    void FollowPalette();
    // After the fill's direction may have turned: visualPosition's signal and a new picture.
    void FillDirectionChanged(qreal oldVisualPosition);
    // Whether the fill runs from the right (or, standing, from the top).
    bool FillsFromOtherEnd() const;
    // Every change of the range, the value or the busy state goes through here: the signals of
    // what changed, and the percentage and text handed to the control.
    void ChangeRange(qreal from, qreal to, qreal value, bool indeterminate);
    void ShowPercent();
    // Asks for the control's repaint and a new frame.
    void Refresh();
    void UpdateImplicitSize();
    // The busy animation runs only while it can be seen.
    void FollowBusyState();

    QuickHost host_;
    qreal from_ = 0.0;
    qreal to_ = 1.0;
    qreal value_ = 0.0;
    bool indeterminate_ = false;
    int percent_ = 0;
    bool textVisible_ = true;
    bool explicitColor_ = false;
    bool inverted_ = false;
    bool mirrored_ = false;
    Direction textDirection_ = TopToBottom;
    QQmlProperty mirroring_; // LayoutMirroring.enabled of the item
    int brushStyle_ = 0;
    QUrl imageSource_;
    QString format_;
    QString shownText_;
    QTimer busyTimer_;
    int busyFrame_ = 0;
    // The picture the scene graph shows, made in the polish step, and the ratio it was made for.
    QImage frame_;
    qreal frameRatio_ = 1.0;
};

} // namespace xpbar
