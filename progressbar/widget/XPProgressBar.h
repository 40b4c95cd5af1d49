#pragma once

/// @file
/// The progress bar as a Qt widget. This header needs only Qt: the control itself stays behind a
/// private implementation, so an application that installs the library gets no internal headers.
/// Installed beside it, the export header is included from the same folder.

#include "XPProgressBarExport.h"

#include <QColor>
#include <QImage>
#include <QString>
#include <QWidget>

#include <memory>

class QStyleOptionProgressBar;

/// The library's namespace.
namespace xpbar {

/**
 * @brief A progress bar drawn in ten looks, with the whole interface of QProgressBar.
 *
 * Replacing a QProgressBar by an XPProgressBar is a change of class name and include: every
 * member, property, signal and slot of QProgressBar is here with the same signature and the
 * same results. minimum, maximum and value take the whole `int` range and follow
 * QProgressBar's rules: setValue ignores a value outside the range (unless the range is 0 to
 * 0), setRange with minimum > maximum makes the maximum equal the minimum, a range that
 * excludes the value resets it, and reset() sets the value to minimum - 1 (the "nothing done
 * yet" state: an empty bar without text). The range 0 to 0 is the busy state: the bar shows a
 * moving band (the XP looks) or a moving highlight (the others) while it is visible.
 *
 * The bar fills (value - minimum) * 100 / (maximum - minimum) percent of its length, counted
 * in 64-bit integers, as QProgressBar's text counts it; no value is ever refused.
 *
 * The default format is QProgressBar's "%p%" ("25%"), and the text is visible by default.
 * format() knows %p (percent), %v (value) and %m (steps, maximum - minimum), exactly as
 * QProgressBar does: "%%" is not an escape there and is not one here either. The text is drawn
 * centred by the look's own rule (two colours over the Dark and Glass fills).
 *
 * Defaults that stay the control's own: the looks' colours (only the bar colour follows the
 * palette's Highlight, until color or colorCode is set) and the look, barStyle XPBlocks.
 *
 * Where the control cannot follow QProgressBar:
 * - alignment is stored and reported; the look always centres its text.
 * - only the XP looks (XPBlocks, XPSmooth, XPSearching) stand; the others draw horizontally.
 * - the text is drawn in Latin-1; characters beyond it show as "?".
 *
 * The widget follows its state as QProgressBar does: greyed (grey, faded half-way to white)
 * when disabled; filling from the right in a right-to-left layout (the text stays readable);
 * the text in the widget's font, inherited or set, live (a restored font becomes the widget's
 * font). At a device pixel ratio of 2 the picture is the 1x one with every step doubled and the
 * text drawn at device resolution; a fractional ratio is drawn at the next whole one and scaled
 * down smoothly.
 *
 * The control is initialised the first time the widget is shown, a property is set or read, or
 * initializeControl() is called, at the widget's size at that moment.
 *
 * @headerfile XPProgressBar.h <XPProgressBar/XPProgressBar.h>
 */
class XPPROGRESSBAR_EXPORT XPProgressBar : public QWidget {
    Q_OBJECT
    /// The lower end of the range (minimum(), setMinimum()).
    Q_PROPERTY(int minimum READ minimum WRITE setMinimum NOTIFY minimumChanged DESIGNABLE true)
    /// The upper end of the range (maximum(), setMaximum()).
    Q_PROPERTY(int maximum READ maximum WRITE setMaximum NOTIFY maximumChanged DESIGNABLE true)
    /// The text the bar shows (text()).
    Q_PROPERTY(QString text READ text)
    /// The value, within the range (value(), setValue()).
    Q_PROPERTY(int value READ value WRITE setValue NOTIFY valueChanged DESIGNABLE true)
    /// The text's alignment as set (alignment(), setAlignment()).
    Q_PROPERTY(Qt::Alignment alignment READ alignment WRITE setAlignment)
    /// Whether the text is drawn (isTextVisible(), setTextVisible()).
    Q_PROPERTY(bool textVisible READ isTextVisible WRITE setTextVisible NOTIFY textVisibleChanged
                   DESIGNABLE true)
    /// Lying or standing (orientation(), setOrientation()).
    Q_PROPERTY(Qt::Orientation orientation READ orientation WRITE setOrientation NOTIFY
                   orientationChanged DESIGNABLE true)
    /// Whether the bar fills the other way (invertedAppearance(), setInvertedAppearance()).
    Q_PROPERTY(bool invertedAppearance READ invertedAppearance WRITE setInvertedAppearance)
    /// Which way a standing bar's text reads (textDirection(), setTextDirection()).
    Q_PROPERTY(Direction textDirection READ textDirection WRITE setTextDirection)
    /// The text's format (format(), setFormat(), resetFormat()).
    Q_PROPERTY(QString format READ format WRITE setFormat RESET resetFormat)
    /// The look (barStyle(), setBarStyle()).
    Q_PROPERTY(
        BarStyle barStyle READ barStyle WRITE setBarStyle NOTIFY barStyleChanged DESIGNABLE true)
    /// The bar colour (color(), setColor()).
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY colorChanged DESIGNABLE true)
    /// The bar colour as a 0x00BBGGRR code (colorCode(), setColorCode()).
    Q_PROPERTY(
        uint colorCode READ colorCode WRITE setColorCode NOTIFY colorCodeChanged DESIGNABLE true)
    /// The hatch of the Hatch look (brushStyle(), setBrushStyle()).
    Q_PROPERTY(
        int brushStyle READ brushStyle WRITE setBrushStyle NOTIFY brushStyleChanged DESIGNABLE true)
    /// The picture of the Picture look (image(), setImage()).
    Q_PROPERTY(QImage image READ image WRITE setImage NOTIFY imageChanged DESIGNABLE true)
    /// The font of the text: QWidget::font, set with setFont().
    Q_PROPERTY(QFont font READ font WRITE setFont NOTIFY fontChanged DESIGNABLE true)

  public:
    /// The ten looks. A style number outside this list (through the control's own interface)
    /// paints as XPSmooth.
    enum BarStyle {
        XPBlocks = 0,    ///< The XP bar cut into blocks.
        XPSmooth = 1,    ///< The XP bar in one smooth band.
        XPSearching = 2, ///< The XP bar without blocks, as the XP search animation shows it.
        Flat = 3,        ///< A flat fill in a plain frame.
        Etched = 4,      ///< A fill in an etched frame.
        Shaded = 5,      ///< A shaded gradient fill.
        Dark = 6,        ///< A fill on a black background.
        Hatch = 7,       ///< A hatch pattern (brushStyle) in the bar colour.
        Picture = 8,     ///< The image, tiled.
        Glass = 9,       ///< A glassy gradient in the XP border.
    };
    Q_ENUM(BarStyle)

    /// Which way a standing bar's text reads, as QProgressBar::Direction.
    enum Direction {
        TopToBottom, ///< Turned clockwise.
        BottomToTop, ///< Turned counter-clockwise.
    };
    Q_ENUM(Direction)

    /// A horizontal bar at 0 to 100, value "nothing done yet" (-1), text visible.
    explicit XPProgressBar(QWidget* parent = nullptr);
    /// Terminates the control.
    ~XPProgressBar() override;

    /// The lower end of the range (0 by default).
    int minimum() const;
    /// The upper end of the range (100 by default).
    int maximum() const;
    /// The current value; minimum - 1 after reset() (INT_MIN when the minimum is INT_MIN).
    int value() const;

    /// The text the bar shows: format() with its placeholders replaced; empty in the busy state
    /// and after reset(). A subclass may override it to show its own text.
    virtual QString text() const;

    /// Whether the text is shown (true by default).
    bool isTextVisible() const;
    /// Shows or hides the text.
    void setTextVisible(bool visible);

    /// The text's alignment as set (Qt::AlignLeft by default); the look centres the text.
    Qt::Alignment alignment() const;
    /// Stores the text's alignment, for code that reads it back.
    void setAlignment(Qt::Alignment alignment);

    /// Whether the bar is horizontal (the default) or standing.
    Qt::Orientation orientation() const;

    /// Whether the bar fills the other way (right to left, or top to bottom when standing).
    bool invertedAppearance() const;
    /// Fills the bar the other way; a right-to-left layout turns the direction once more.
    void setInvertedAppearance(bool invert);

    /// Which way a standing bar's text reads (TopToBottom by default).
    Direction textDirection() const;
    /// Sets which way a standing bar's text reads.
    void setTextDirection(Direction textDirection);

    /// The text's format: "%p%" by default; %p, %v and %m are replaced.
    QString format() const;
    /// Sets the text's format.
    void setFormat(const QString& format);
    /// Sets the format back to "%p%".
    void resetFormat();

    /// The look. Any number is stored; a number outside the ten looks paints as XPSmooth and
    /// reads back as itself.
    BarStyle barStyle() const;
    /// Sets the look.
    void setBarStyle(BarStyle style);

    /// The bar colour as an RGB colour: the palette's Highlight until one is set.
    QColor color() const;
    /// Sets the bar colour (from then on it no longer follows the palette); its alpha is
    /// ignored and an invalid colour is ignored.
    void setColor(const QColor& color);
    /// The bar colour as a 0x00BBGGRR code.
    uint colorCode() const;
    /// Sets the bar colour as a 0x00BBGGRR code. A code with the top bit set names a system
    /// colour (0x8000000D is the highlight colour) and is stored as the RGB it has now, so the
    /// getter always returns a plain RGB code.
    void setColorCode(uint code);

    /// The hatch pattern of the Hatch look: 0 horizontal, 1 vertical, 2 falling diagonal,
    /// 3 rising diagonal, 4 cross, 5 diagonal cross.
    int brushStyle() const;
    /// Sets the hatch pattern; other numbers are stored and paint as the 2-D layer draws an
    /// unknown hatch.
    void setBrushStyle(int style);

    /// The picture the Picture look tiles.
    QImage image() const;
    /// Sets the picture the Picture look tiles; a null image removes it.
    void setImage(const QImage& image);

    ///@{
    /// Saves the bar's stored properties to a file, or restores them from one written by
    /// saveProperties. On failure both return false and say why in `error` (when given). A failed
    /// save leaves the previous file as it was; a file that cannot be read leaves the bar as it
    /// was, and an entry that cannot be applied stops the restore there, the entries before it
    /// applied. The widget's properties and signals follow what was restored. A save writes a
    /// new file and renames it over `path`, so a symbolic link there is replaced, never written
    /// through.
    bool saveProperties(const QString& path, QString* error = nullptr) const;
    bool loadProperties(const QString& path, QString* error = nullptr);
    ///@}

    /// Initialises the control at the widget's current size; later calls do nothing.
    void initializeControl();

    /// What the widget shows: the control's own device context.
    const QImage& shownImage() const;

    /// As QProgressBar's: from the font and the style's chunk width; transposed when standing.
    QSize sizeHint() const override;
    /// As QProgressBar's: one line of text high (wide when standing).
    QSize minimumSizeHint() const override;

  public Q_SLOTS:
    /// Sets the value; a value outside the range is ignored unless the range is 0 to 0.
    void setValue(int value);
    /// Sets the range; a maximum below the minimum becomes the minimum, and a value outside the
    /// new range is reset.
    void setRange(int minimum, int maximum);
    /// Sets the minimum; the maximum follows when it would be smaller.
    void setMinimum(int minimum);
    /// Sets the maximum; the minimum follows when it would be larger.
    void setMaximum(int maximum);
    /// Sets the value to "nothing done yet": the bar empty, no text.
    void reset();
    /// Lays the bar horizontally or stands it; the size policy is transposed.
    void setOrientation(Qt::Orientation orientation);

  Q_SIGNALS:
    /// The value changed.
    void valueChanged(int value);
    /// The minimum changed.
    void minimumChanged(int minimum);
    /// The maximum changed.
    void maximumChanged(int maximum);
    /// The text was shown or hidden.
    void textVisibleChanged(bool visible);
    /// The bar was laid down or stood up.
    void orientationChanged(Qt::Orientation orientation);
    /// The look changed.
    void barStyleChanged(xpbar::XPProgressBar::BarStyle style);
    /// The bar colour changed.
    void colorChanged(const QColor& color);
    /// The bar colour changed (as a code).
    void colorCodeChanged(uint code);
    /// The hatch pattern changed.
    void brushStyleChanged(int style);
    /// The tiled picture changed.
    void imageChanged(const QImage& image);
    /// The text's font changed.
    void fontChanged(const QFont& font);
    /// A stored property of the control changed, by its stored name ("Max", "ShowText", ...):
    /// a container that keeps the properties in a document marks it modified.
    void propertyChanged(const QString& name);

  protected:
    /// Fills a QStyleOptionProgressBar with the bar's state, as QProgressBar does.
    virtual void initStyleOption(QStyleOptionProgressBar* option) const;
    /// Paints the look.
    void paintEvent(QPaintEvent* event) override;
    /// Makes the picture the new size.
    void resizeEvent(QResizeEvent* event) override;
    /// Initialises the control and starts the busy animation where it runs.
    void showEvent(QShowEvent* event) override;
    /// Stops the busy animation.
    void hideEvent(QHideEvent* event) override;
    /// Follows the font, the palette, the enabled state and the layout direction.
    void changeEvent(QEvent* event) override;

  private:
    // The control and its host, behind the widget; the project's own code reaches them through
    // XPProgressBarInternals (not installed).
    class Host;
    friend struct XPProgressBarInternals;
    std::unique_ptr<Host> host_;
};

} // namespace xpbar
