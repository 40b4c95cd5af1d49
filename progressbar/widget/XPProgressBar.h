#pragma once

// The progress bar as a Qt widget. This header needs only Qt: the control itself stays behind a
// private implementation, so an application that installs the library gets no internal headers.

#include <QColor>
#include <QImage>
#include <QString>
#include <QWidget>

#include <memory>

namespace vex {
class ControlHost;
class PropertyBag;
class XP_ProgressBar;
} // namespace vex

namespace xpbar {

// A progress bar drawn in ten looks, with the interface of QProgressBar for the common calls:
// replacing a QProgressBar by an XPProgressBar is a change of class name for code that uses
// value, minimum, maximum, setRange, reset, textVisible, orientation and valueChanged.
//
// value, minimum and maximum follow QProgressBar's rules exactly: setValue ignores a value
// outside the range (unless the range is 0 to 0), setRange with minimum > maximum makes the
// maximum equal the minimum, a range that excludes the value resets it, and reset() sets the
// value to minimum - 1 (the "nothing done yet" state, shown as the bar at its minimum).
//
// Underneath, minimum and maximum are the control's Min and Max and every accepted value goes
// through the control's Value, which stores the percentage the bar shows: value * 100 / maximum
// + minimum. With a minimum of 0 (the common case) that is the familiar percentage; a non-zero
// minimum is added to it, by the control's own rule. The control refuses a value whose
// percentage overflows (a value beyond about 21 million) or that divides by a maximum of 0:
// setValue then leaves the value, the picture and the signals as they were and logs a warning.
// Every other setter keeps its new setting even when the repaint that follows fails (the
// control's coordinate overflow on an enormous widget): the widget logs a warning and shows what
// the control drew before. Nothing the setters are given crashes or throws.
//
// Differences from QProgressBar: textVisible is false until set (the control's default), the
// text is always the percentage, and the looks come from barStyle, not from the QStyle.
//
// The control is initialised the first time the widget is shown, a property is set or read, or
// initializeControl() is called, at the widget's size at that moment. The text is drawn in the
// font set on the widget with setFont; until one is set, in the control's default font.
class XPProgressBar : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int minimum READ minimum WRITE setMinimum NOTIFY minimumChanged DESIGNABLE true)
    Q_PROPERTY(int maximum READ maximum WRITE setMaximum NOTIFY maximumChanged DESIGNABLE true)
    Q_PROPERTY(int value READ value WRITE setValue NOTIFY valueChanged DESIGNABLE true)
    Q_PROPERTY(bool textVisible READ isTextVisible WRITE setTextVisible NOTIFY textVisibleChanged
                   DESIGNABLE true)
    Q_PROPERTY(Qt::Orientation orientation READ orientation WRITE setOrientation NOTIFY
                   orientationChanged DESIGNABLE true)
    Q_PROPERTY(
        BarStyle barStyle READ barStyle WRITE setBarStyle NOTIFY barStyleChanged DESIGNABLE true)
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY colorChanged DESIGNABLE true)
    Q_PROPERTY(
        uint colorCode READ colorCode WRITE setColorCode NOTIFY colorCodeChanged DESIGNABLE true)
    Q_PROPERTY(
        int brushStyle READ brushStyle WRITE setBrushStyle NOTIFY brushStyleChanged DESIGNABLE true)
    Q_PROPERTY(QImage image READ image WRITE setImage NOTIFY imageChanged DESIGNABLE true)
    Q_PROPERTY(QFont font READ font WRITE setFont NOTIFY fontChanged DESIGNABLE true)

  public:
    // The ten looks. A style number outside this list (through the control's own interface)
    // paints as XPSmooth.
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

    explicit XPProgressBar(QWidget* parent = nullptr);
    ~XPProgressBar() override;

    int minimum() const;
    int maximum() const;
    int value() const;
    // As QProgressBar::setMinimum / setMaximum: the other end moves when it would cross.
    void setMinimum(int minimum);
    void setMaximum(int maximum);

    bool isTextVisible() const;
    Qt::Orientation orientation() const;

    // Any number is stored; a number outside the ten looks paints as XPSmooth and reads back
    // as itself.
    BarStyle barStyle() const;
    void setBarStyle(BarStyle style);

    // The bar colour as an RGB colour; its alpha is ignored and an invalid colour is ignored.
    QColor color() const;
    void setColor(const QColor& color);
    // The bar colour as a 0x00BBGGRR code. A code with the top bit set names a system colour
    // (0x8000000D is the highlight colour) and is stored as the RGB it has now, so the getter
    // always returns a plain RGB code.
    uint colorCode() const;
    void setColorCode(uint code);

    // The hatch pattern of the Hatch look: 0 horizontal, 1 vertical, 2 falling diagonal,
    // 3 rising diagonal, 4 cross, 5 diagonal cross. Other numbers are stored and paint as the
    // 2-D layer draws an unknown hatch.
    int brushStyle() const;
    void setBrushStyle(int style);

    // The picture the Picture look tiles; a null image removes it.
    QImage image() const;
    void setImage(const QImage& image);

    // Saves the bar's stored properties to a file, or restores them from one written by
    // saveProperties. On failure both return false and say why in `error` (when given). A failed
    // save leaves the previous file as it was; a file that cannot be read leaves the bar as it
    // was, and an entry that cannot be applied stops the restore there, the entries before it
    // applied. The widget's properties and signals follow what was restored.
    bool saveProperties(const QString& path, QString* error = nullptr) const;
    bool loadProperties(const QString& path, QString* error = nullptr);
    // The same with a store the container keeps (its own entries may sit beside the bar's).
    void saveProperties(vex::PropertyBag& store) const;
    bool loadProperties(const vex::PropertyBag& store, QString* error = nullptr);

    // Initialises the control at the widget's current size; later calls do nothing.
    void initializeControl();

    // The control's own interface, for hosts inside this project (its header is not installed).
    vex::XP_ProgressBar& control();
    const vex::XP_ProgressBar& control() const;
    vex::ControlHost& host();
    // What the widget shows: the control's own device context.
    const QImage& shownImage() const;

    // 233 x 17 pixels, turned for a vertical bar.
    QSize sizeHint() const override;

  public slots:
    void setValue(int value);
    void setRange(int minimum, int maximum);
    void reset();
    void setTextVisible(bool visible);
    void setOrientation(Qt::Orientation orientation);

  signals:
    void valueChanged(int value);
    void minimumChanged(int minimum);
    void maximumChanged(int maximum);
    void textVisibleChanged(bool visible);
    void orientationChanged(Qt::Orientation orientation);
    void barStyleChanged(xpbar::XPProgressBar::BarStyle style);
    void colorChanged(const QColor& color);
    void colorCodeChanged(uint code);
    void brushStyleChanged(int style);
    void imageChanged(const QImage& image);
    void fontChanged(const QFont& font);
    // A stored property of the control changed, by its stored name ("Max", "ShowText", ...):
    // a container that keeps the properties in a document marks it modified.
    void propertyChanged(const QString& name);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    class Host;
    struct Snapshot;
    Snapshot Take() const;
    void EmitChangesSince(const Snapshot& before);
    void ShowValue(int value);
    void ReadBackFromControl();

    std::unique_ptr<Host> host_;
};

} // namespace xpbar
