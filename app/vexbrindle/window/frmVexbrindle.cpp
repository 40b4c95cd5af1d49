#include "app/vexbrindle/window/frmVexbrindle.h"

#include "app/vexbrindle/window/ClickLabel.h"
#include "app/vexbrindle/window/WindowIcon.h"
#include "app/vexbrindle/window/frmVexbrindleDesign.h"
#include "progressbar/primitives.h"
#include "progressbar/widget/XPProgressBar.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

#include <cstdlib>

namespace vex::qtui {

using updater::LabelId;
using updater::TimerId;

namespace {

constexpr char kApplicationTitle[] = "Vexbrindle";

// A design colour as it shows now: a system colour resolved first.
QColor ShownColor(Long color) {
    return gdi::BgrColor(ResolveColor(color)).ToQColor();
}

QRect PixelRect(const ControlDesign& c) {
    return QRect(TwipsToPixels(c.left), TwipsToPixels(c.top), TwipsToPixels(c.width),
                 TwipsToPixels(c.height));
}

// A design font; the face falls back to the desktop's sans-serif face where it is missing.
QFont ToQFont(const FontDesign& f, const QFont& windowFont) {
    if (f.name == nullptr) return windowFont;
    QFont font(windowFont);
    font.setFamilies({QString::fromLatin1(f.name), QStringLiteral("Sans Serif")});
    font.setPointSizeF(f.points);
    font.setWeight(static_cast<QFont::Weight>(f.weight));
    return font;
}

void ApplyLabelDesign(QLabel* label, const ControlDesign& c, const QFont& windowFont) {
    label->setObjectName(QString::fromLatin1(c.name));
    label->setGeometry(PixelRect(c));
    // Captions come from the run and from the server's version text: never interpret markup.
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(false);
    label->setText(QString::fromLatin1(c.caption));
    label->setFont(ToQFont(c.font, windowFont));
    QPalette palette = label->palette();
    if (c.backColor != kDefaultColor) {
        palette.setColor(QPalette::Window, ShownColor(c.backColor));
        label->setAutoFillBackground(true);
    }
    if (c.foreColor != kDefaultColor)
        palette.setColor(QPalette::WindowText, ShownColor(c.foreColor));
    label->setPalette(palette);
    label->setVisible(c.visible);
}

bool Named(const StoredEntry& e, const char* name) {
    return QString::fromLatin1(e.name).compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
}

// The bar as a restore of its stored entries leaves it, through the widget's public setters
// (the program links the shared library, which exports nothing else): what the window does not
// store takes the value a restore gives it, never the widget's own default, and the entries
// the window stores (names without regard to case) are applied over that. The extents are the
// window's own: the design's geometry places the bar.
void RestoreBar(xpbar::XPProgressBar& bar, std::span<const StoredEntry> entries) {
    bar.setRange(0, 100);
    bar.setValue(0);
    bar.setOrientation(Qt::Horizontal);
    bar.setBarStyle(xpbar::XPProgressBar::XPBlocks);
    bar.setTextVisible(false);
    bar.setBrushStyle(4);          // a restore's hatch: the crosshatch
    bar.setColorCode(0x8000000Du); // the highlight colour
    for (const StoredEntry& e : entries) {
        if (Named(e, "font")) {
            const FontDesign& f = std::get<FontDesign>(e.value);
            QFont font;
            font.setFamily(QString::fromLatin1(f.name));
            font.setPointSizeF(f.points);
            font.setWeight(static_cast<QFont::Weight>(f.weight));
            bar.setFont(font);
        } else if (Named(e, "color")) {
            bar.setColorCode(static_cast<uint>(std::get<Long>(e.value)));
        }
    }
}

template <typename LabelType>
LabelType* NewLabel(QWidget* parent, const ControlDesign& c, const QFont& windowFont) {
    auto* label = new LabelType(parent);
    ApplyLabelDesign(label, c, windowFont);
    return label;
}

xpbar::XPProgressBar* NewBar(QWidget* parent, const ControlDesign& c,
                             std::span<const StoredEntry> storedEntries) {
    auto* bar = new xpbar::XPProgressBar(parent);
    bar->setObjectName(QString::fromLatin1(c.name));
    bar->setGeometry(PixelRect(c));
    bar->initializeControl();
    RestoreBar(*bar, storedEntries);
    return bar;
}

void QuitEventLoops() {
    QCoreApplication::exit(EXIT_SUCCESS);
}

} // namespace

frmVexbrindle::frmVexbrindle(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::WindowMinimizeButtonHint),
      endAction_(QuitEventLoops), gone_(*this, [this] { TakenAway(); }) {
    BuildFromDesign();
    connect(&timer1_, &QTimer::timeout, this, [this] {
        if (!ended_) emit Timer1_Timer();
    });
    connect(&timer2_, &QTimer::timeout, this, [this] {
        if (!ended_) emit Timer2_Timer();
    });
    connect(lblClose_, &ClickLabel::clicked, this, [this] {
        if (!ended_) emit lblClose_Click();
    });
}

frmVexbrindle::~frmVexbrindle() = default;

void frmVexbrindle::BuildFromDesign() {
    const WindowDesign& design = frmVexbrindleDesign();
    setObjectName(QString::fromLatin1(design.name));
    setWindowTitle(QString::fromLatin1(design.caption));
    setAccessibleName(QString::fromLatin1(kApplicationTitle));
    setWindowIcon(WindowIcon());
    // A small window of fixed size; the title bar stays so that the user can move it.
    setFixedSize(TwipsToPixels(design.clientWidth), TwipsToPixels(design.clientHeight));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, ShownColor(design.backColor));
    setPalette(palette);
    setAutoFillBackground(true);

    const QFont windowFont = font();
    QWidget* previous = nullptr;
    for (const ControlDesign& c : design.controls) {
        QWidget* widget = nullptr;
        switch (c.id) {
        case ControlId::Label1:
            widget = label1_ = NewLabel<QLabel>(this, c, windowFont);
            break;
        case ControlId::ProgressBar1:
            widget = progressBar1_ = NewBar(this, c, design.barEntries);
            break;
        case ControlId::Label2:
            widget = label2_ = NewLabel<QLabel>(this, c, windowFont);
            break;
        case ControlId::Label3:
            widget = label3_ = NewLabel<QLabel>(this, c, windowFont);
            break;
        case ControlId::lblClose:
            widget = lblClose_ = NewLabel<ClickLabel>(this, c, windowFont);
            lblClose_->setAccessibleName(tr("Close"));
            break;
        }
        // Children are created in tab order, which is also the order assistive technology reads.
        if (previous != nullptr) setTabOrder(previous, widget);
        previous = widget;
    }

    for (const TimerDesign& t : design.timers) {
        QTimer& timer = Timer(t.id);
        timer.setObjectName(QString::fromLatin1(t.name));
        timer.setTimerType(Qt::CoarseTimer);
        timer.setInterval(t.interval);
    }
}

void frmVexbrindle::Start() {
    if (started_) return;
    started_ = true;
    // Timer1 is enabled in the design: it runs from the moment the window is loaded.
    if (timer1_.interval() > 0) timer1_.start();
    if (timer2_.interval() > 0) timer2_.start();
    emit Form_Load();
    if (ended_) return;
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    show();
}

bool frmVexbrindle::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate) ActivateOnce();
    return QWidget::event(event);
}

void frmVexbrindle::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    ActivateOnce();
}

// The run starts from the event loop, after the window has been shown and has had its first
// paint or activation, and only once in the program's life.
void frmVexbrindle::ActivateOnce() {
    if (!started_ || activationQueued_ || ended_) return;
    activationQueued_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!ended_) emit Form_Activate();
        },
        Qt::QueuedConnection);
}

void frmVexbrindle::closeEvent(QCloseEvent* event) {
    // Closing through the window manager does what the close label does.
    event->ignore();
    if (!ended_) emit lblClose_Click();
    if (ended_) event->accept();
}

void frmVexbrindle::TakenAway() {
    if (!ended_) emit lblClose_Click();
}

QTimer& frmVexbrindle::Timer(TimerId id) {
    return id == TimerId::Timer1 ? timer1_ : timer2_;
}

QLabel* frmVexbrindle::Label(LabelId id) const {
    switch (id) {
    case LabelId::Label1:
        return label1_;
    case LabelId::Label2:
        return label2_;
    case LabelId::Label3:
        return label3_;
    case LabelId::lblClose:
        return lblClose_;
    }
    return nullptr;
}

void frmVexbrindle::SetCaption(LabelId label, const QString& text) {
    if (ended_) return;
    Label(label)->setText(text);
}

void frmVexbrindle::SetVisible(LabelId label, bool visible) {
    if (ended_) return;
    Label(label)->setVisible(visible);
}

void frmVexbrindle::SetTimerInterval(TimerId timer, int milliseconds) {
    if (ended_) return;
    QTimer& t = Timer(timer);
    if (milliseconds > 0) {
        t.start(milliseconds);
    } else {
        t.stop();
        t.setInterval(0);
    }
}

void frmVexbrindle::SetBarValue(Long value) {
    if (ended_) return;
    progressBar1_->setValue(value);
}

void frmVexbrindle::Hide() {
    if (ended_) return;
    hide();
}

void frmVexbrindle::SetNormalState() {
    if (ended_) return;
    setWindowState(windowState() &
                   ~(Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));
}

int frmVexbrindle::MsgBox(const QString& prompt, int buttons, const QString& title) {
    if (ended_) return 0;
    if (assumeYes_ && buttons == updater::vbYesNo) return updater::vbYes;
    // A hidden window would leave the box without a place on the screen: it then stands alone.
    QMessageBox box(isVisible() ? this : nullptr);
    box.setWindowTitle(title.isEmpty() ? QString::fromLatin1(kApplicationTitle) : title);
    box.setWindowIcon(windowIcon());
    box.setIcon(QMessageBox::NoIcon);
    box.setTextFormat(Qt::PlainText);
    box.setText(prompt);
    if (buttons == updater::vbYesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
    }
    if (autoAnswerMs_ > 0) {
        QTimer::singleShot(autoAnswerMs_, &box, [&box] { box.defaultButton()->click(); });
    }
    // A box destroyed by another program can never be answered. The program then ends as when
    // the window itself is taken away; should it go on all the same, the box counts as closed
    // without an answer, which for the restart question is No.
    bool boxGone = false;
    const WindowGoneWatcher boxWatcher(box, [this, &box, &boxGone] {
        boxGone = true;
        TakenAway();
        box.done(QMessageBox::Cancel);
    });
    const int answer = box.exec();
    if (ended_) return 0;
    if (boxGone) return buttons == updater::vbYesNo ? updater::vbNo : updater::vbOK;
    switch (answer) {
    case QMessageBox::Yes:
        return updater::vbYes;
    case QMessageBox::No:
        return updater::vbNo;
    default:
        return updater::vbOK;
    }
}

bool frmVexbrindle::Shell(const QString& program, int windowStyle) {
    if (ended_ || !shellAction_) return false;
    return shellAction_(program, windowStyle);
}

void frmVexbrindle::End() {
    if (ended_) return;
    ended_ = true;
    timer1_.stop();
    timer2_.stop();
    hide();
    if (endAction_) endAction_();
}

} // namespace vex::qtui
