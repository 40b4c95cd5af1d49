// A typical program written for QProgressBar, built twice from this one source: once with
// QProgressBar, once with XPProgressBar (USE_XPPROGRESSBAR). Both builds must print the same.
#include <QApplication>
#include <QMetaObject>
#include <QSlider>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdio>

#ifdef USE_XPPROGRESSBAR
#include "progressbar/widget/XPProgressBar.h"
using ProgressBar = xpbar::XPProgressBar;
#else
#include <QProgressBar>
using ProgressBar = QProgressBar;
#endif

namespace {

void Print(const char* step, const ProgressBar& bar) {
    std::printf("%s: value %d range %d..%d text \"%s\" visible %d\n", step, bar.value(),
                bar.minimum(), bar.maximum(), qPrintable(bar.text()), int(bar.isTextVisible()));
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* slider = new QSlider(Qt::Horizontal);
    auto* bar = new ProgressBar;
    layout->addWidget(slider);
    layout->addWidget(bar);
    layout->addStretch();

    int changes = 0;
    QObject::connect(bar, &ProgressBar::valueChanged, [&changes](int value) {
        ++changes;
        std::printf("  valueChanged(%d)\n", value);
    });
    // String-based connections, as a .ui file makes them.
    const bool connected =
        QObject::connect(slider, SIGNAL(valueChanged(int)), bar, SLOT(setValue(int))) &&
        QObject::connect(slider, SIGNAL(rangeChanged(int, int)), bar, SLOT(setRange(int, int))) &&
        QObject::connect(slider, SIGNAL(sliderReleased()), bar, SLOT(reset()));
    std::printf("connected %d\n", int(connected));
    Print("new", *bar);

    bar->setRange(0, 30000000);
    bar->setValue(22000000);
    Print("bytes", *bar);
    bar->setFormat(QStringLiteral("%v of %m bytes (%p%)"));
    Print("format", *bar);
    bar->resetFormat();
    bar->setRange(50, 150);
    bar->setValue(100);
    Print("minimum 50", *bar);
    bar->setRange(-100, 0);
    bar->setValue(-25);
    Print("negative", *bar);
    bar->setRange(INT_MIN, INT_MAX);
    bar->setValue(0);
    Print("whole int range", *bar);

    slider->setRange(0, 10);
    slider->setValue(7);
    Print("from the slider", *bar);
    QMetaObject::invokeMethod(bar, "setMaximum", Q_ARG(int, 5));
    Print("setMaximum by name", *bar);
    QMetaObject::invokeMethod(bar, "setMinimum", Q_ARG(int, 1));
    QMetaObject::invokeMethod(bar, "reset");
    Print("reset by name", *bar);
    bar->setRange(0, 0);
    bar->setValue(3);
    Print("busy", *bar);

    bar->setRange(0, 100);
    bar->setValue(40);
    bar->setTextVisible(false);
    bar->setAlignment(Qt::AlignCenter);
    bar->setInvertedAppearance(true);
    bar->setTextDirection(ProgressBar::BottomToTop);
    Print("settings", *bar);
    std::printf("alignment %d inverted %d direction %d format \"%s\"\n", int(bar->alignment()),
                int(bar->invertedAppearance()), int(bar->textDirection()),
                qPrintable(bar->format()));
    std::printf("property value %d text \"%s\"\n", bar->property("value").toInt(),
                qPrintable(bar->property("text").toString()));

    const QSize hint = bar->sizeHint();
    std::printf("sizeHint %dx%d policy %d/%d\n", hint.width(), hint.height(),
                int(bar->sizePolicy().horizontalPolicy()), int(bar->sizePolicy().verticalPolicy()));
    for (const QSize size : {QSize(300, 60), QSize(300, 300), QSize(300, 40)}) {
        window.resize(size);
        window.show();
        layout->activate();
        std::printf("window %dx%d: bar height %d\n", size.width(), size.height(), bar->height());
    }
    QMetaObject::invokeMethod(bar, "setOrientation", Q_ARG(Qt::Orientation, Qt::Vertical));
    const QSize standing = bar->sizeHint();
    std::printf("standing sizeHint %dx%d policy %d/%d\n", standing.width(), standing.height(),
                int(bar->sizePolicy().horizontalPolicy()), int(bar->sizePolicy().verticalPolicy()));
    std::printf("valueChanged %d times\n", changes);
    return 0;
}
