// One complete DrawProgressBar (clear, painter, text, copy of the surface to the screen) per
// style, with and without text: the ten styles lying at the updater's 233 x 17 and at 2000 x 40,
// the three XP styles standing at 17 x 233 and 40 x 2000. Beside them Qt's QProgressBar rendered
// with the Fusion and the Windows styles at the same size, value and orientation, and
// QImage::fill of the same size as the floor. Times are CPU time per paint (steadier than wall
// time on a shared machine). After the table: the worst ratio to the Windows style and to the
// fill, and the cost per pixel at the small and the large size. Then the widget's own paint
// (XPProgressBar::render, with text) in the states that put a picture together from several of
// the control's: busy, disabled, right to left and a device pixel ratio of 2; once as a repaint
// of an unchanged bar, once with a new value (a new busy frame) before each paint.
#include "progressbar/ScrollingStyle.h"
#include "progressbar/StdPicture.h"
#include "progressbar/headless/HeadlessHost.h"
#include "progressbar/widget/XPProgressBar.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QProgressBar>
#include <QStyle>
#include <QStyleFactory>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kValue = 50;
constexpr int kHatchStyle = 5;

struct Size {
    int width, height;
    bool vertical;
    bool large;
};
constexpr Size kSizes[] = {{233, 17, false, false},
                           {2000, 40, false, true},
                           {17, 233, true, false},
                           {40, 2000, true, true}};

int StyleCount(Size s) {
    return s.vertical ? vex::kVerticalStyleCount : int(std::size(vex::kScrollingStyles));
}
std::string SizeName(Size s) {
    return std::to_string(s.width) + "x" + std::to_string(s.height);
}
std::string TextName(bool text) {
    return text ? "text" : "notext";
}

void DrawProgressBar(benchmark::State& state, int style, bool text, Size size) {
    vex::HeadlessHost host(size.width, size.height);
    vex::XP_ProgressBar& bar = host.Control();
    QImage tile(8, 8, QImage::Format_RGB32);
    tile.fill(qRgb(0x40, 0x80, 0xC0));
    bar.SetImage(std::make_shared<vex::StdPicture>(tile));
    bar.SetBrushStyle(kHatchStyle);
    bar.SetOrientation(size.vertical ? 1 : 0);
    bar.SetScrolling(style);
    bar.SetShowText(vex::ToBoolean(text));
    bar.SetValue(kValue);
    for (auto _ : state) {
        bar.DrawProgressBar();
        benchmark::DoNotOptimize(host.Screen().constBits());
    }
}

void QtProgressBar(benchmark::State& state, const char* styleName, bool text, Size size,
                   int ratio) {
    std::unique_ptr<QStyle> style(QStyleFactory::create(QString::fromLatin1(styleName)));
    if (!style) {
        state.SkipWithError("style not available");
        return;
    }
    QProgressBar bar;
    bar.setStyle(style.get());
    bar.setOrientation(size.vertical ? Qt::Vertical : Qt::Horizontal);
    bar.setRange(0, 100);
    bar.setValue(kValue);
    bar.setTextVisible(text);
    bar.resize(size.width, size.height);
    QImage image(size.width * ratio, size.height * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    for (auto _ : state) {
        bar.render(&image);
        benchmark::DoNotOptimize(image.constBits());
    }
}

// What the widget's states cost on top of its plain paint.
enum class WidgetState { Plain, Busy, Disabled, RightToLeft, Ratio2 };
struct WidgetStateName {
    WidgetState state;
    const char* name;
};
constexpr WidgetStateName kWidgetStates[] = {{WidgetState::Plain, "plain"},
                                             {WidgetState::Busy, "busy"},
                                             {WidgetState::Disabled, "disabled"},
                                             {WidgetState::RightToLeft, "rtl"},
                                             {WidgetState::Ratio2, "ratio2"}};
constexpr int kWidgetLooks[] = {xpbar::XPProgressBar::XPBlocks, xpbar::XPProgressBar::Dark};
constexpr Size kWidgetSizes[] = {kSizes[0], kSizes[1]};

// Each paint after a change: the value moves between two percentages, or the busy animation on
// by a frame.
enum class Change { None, EachPaint };

void WidgetPaint(benchmark::State& state, int look, WidgetState which, Size size, Change change) {
    xpbar::XPProgressBar bar;
    bar.resize(size.width, size.height);
    bar.setBarStyle(static_cast<xpbar::XPProgressBar::BarStyle>(look));
    bar.setValue(kValue);
    if (which == WidgetState::Busy) bar.setRange(0, 0);
    if (which == WidgetState::Disabled) bar.setEnabled(false);
    if (which == WidgetState::RightToLeft) bar.setLayoutDirection(Qt::RightToLeft);
    const int ratio = which == WidgetState::Ratio2 ? 2 : 1;
    QImage image(size.width * ratio, size.height * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    auto* busyTimer = bar.findChild<QTimer*>(QStringLiteral("busyAnimation"));
    int step = 0;
    for (auto _ : state) {
        if (change == Change::EachPaint) {
            if (which == WidgetState::Busy)
                QMetaObject::invokeMethod(busyTimer, "timeout");
            else
                bar.setValue(kValue + (++step & 1));
        }
        bar.render(&image);
        benchmark::DoNotOptimize(image.constBits());
    }
}

void Fill(benchmark::State& state, Size size) {
    QImage image(size.width, size.height, QImage::Format_RGB32);
    for (auto _ : state) {
        image.fill(qRgb(0xFF, 0xFF, 0xFF));
        benchmark::DoNotOptimize(image.constBits());
    }
}

// Keeps the console output and remembers each benchmark's CPU time per iteration in
// microseconds.
class CollectingReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            if (r.run_type == Run::RT_Iteration && !r.error_occurred) {
                micros[r.benchmark_name()] =
                    r.GetAdjustedCPUTime() *
                    benchmark::GetTimeUnitMultiplier(benchmark::kMicrosecond) /
                    benchmark::GetTimeUnitMultiplier(r.time_unit);
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> micros;
};

double Lookup(const std::map<std::string, double>& m, const std::string& name) {
    const auto it = m.find(name);
    return it == m.end() ? 0.0 : it->second;
}

struct Worst {
    double ratio = 0.0;
    std::string which;
    void Take(double r, const std::string& name) {
        if (r > ratio) {
            ratio = r;
            which = name;
        }
    }
};

void PrintTable(const std::map<std::string, double>& t) {
    Worst toWindows, toFill, toWidget;
    double perPixel[2] = {0.0, 0.0}; // the costliest case's ns per pixel, small and large
    std::string perPixelCase[2];
    for (const Size size : kSizes) {
        const std::string sz = SizeName(size);
        const double pixels = double(size.width) * size.height;
        const double fill = Lookup(t, "Fill/" + sz);
        std::printf("\n%s%s (QImage::fill %.2f us)\n", sz.c_str(), size.vertical ? " vertical" : "",
                    fill);
        std::printf("%-14s %-7s %10s %9s %9s %9s %8s\n", "style", "text", "time us", "/Windows",
                    "/Fusion", "/fill", "ns/px");
        for (bool text : {false, true}) {
            const std::string tn = TextName(text);
            const double windows = Lookup(t, "QProgressBar/Windows/" + tn + "/" + sz);
            const double fusion = Lookup(t, "QProgressBar/Fusion/" + tn + "/" + sz);
            std::printf("%-14s %-7s %10.2f\n", "Qt Windows", tn.c_str(), windows);
            std::printf("%-14s %-7s %10.2f\n", "Qt Fusion", tn.c_str(), fusion);
            for (int style = 0; style < StyleCount(size); ++style) {
                const std::string name = vex::kScrollingStyles[style].name;
                const double us = Lookup(t, "DrawProgressBar/" + name + "/" + tn + "/" + sz);
                const double ns = us * 1000.0 / pixels;
                std::printf("%-14s %-7s %10.2f %9.2f %9.2f %9.1f %8.3f\n", name.c_str(), tn.c_str(),
                            us, windows > 0 ? us / windows : 0.0, fusion > 0 ? us / fusion : 0.0,
                            fill > 0 ? us / fill : 0.0, ns);
                const std::string which = name + " " + tn + " " + sz;
                if (windows > 0) toWindows.Take(us / windows, which);
                if (size.large && fill > 0) toFill.Take(us / fill, which);
                if (ns > perPixel[size.large]) {
                    perPixel[size.large] = ns;
                    perPixelCase[size.large] = which;
                }
            }
        }
    }
    std::printf("\nXPProgressBar::render, text, value %d; a repaint, and a paint after a change\n",
                kValue);
    std::printf("%-10s %-9s %-10s %10s %9s %11s %9s\n", "look", "state", "size", "repaint us",
                "/Windows", "changed us", "/Windows");
    for (const Size size : kWidgetSizes) {
        const std::string sz = SizeName(size);
        const double windows = Lookup(t, "QProgressBar/Windows/text/" + sz);
        const double windows2 = Lookup(t, "QProgressBar/Windows/text/ratio2/" + sz);
        std::printf("%-10s %-9s %-10s %10.2f\n", "Qt Windows", "plain", sz.c_str(), windows);
        std::printf("%-10s %-9s %-10s %10.2f\n", "Qt Windows", "ratio2", sz.c_str(), windows2);
        for (const int look : kWidgetLooks) {
            const std::string name = vex::kScrollingStyles[look].name;
            for (const WidgetStateName& st : kWidgetStates) {
                const std::string base = "Widget/" + name + "/" + st.name + "/" + sz;
                const double repaint = Lookup(t, base);
                const double changed = Lookup(t, base + "/changed");
                // At ratio 2 beside Qt's bar at ratio 2.
                const double qt = st.state == WidgetState::Ratio2 ? windows2 : windows;
                std::printf("%-10s %-9s %-10s %10.2f %9.2f %11.2f %9.2f\n", name.c_str(), st.name,
                            sz.c_str(), repaint, qt > 0 ? repaint / qt : 0.0, changed,
                            qt > 0 ? changed / qt : 0.0);
                if (qt > 0) toWidget.Take(changed / qt, name + " " + st.name + " " + sz);
            }
        }
    }

    std::printf("\nworst ratio to QProgressBar (Windows): %.2f  (%s)   aim: <= 0.60\n",
                toWindows.ratio, toWindows.which.c_str());
    std::printf("worst ratio of the widget's paint after a change to QProgressBar (Windows): %.2f  "
                "(%s)\n",
                toWidget.ratio, toWidget.which.c_str());
    std::printf("worst ratio to QImage::fill, large sizes: %.1f  (%s)   aim: <= 12\n", toFill.ratio,
                toFill.which.c_str());
    std::printf("highest cost per pixel, small sizes: %.3f ns  (%s)\n", perPixel[0],
                perPixelCase[0].c_str());
    std::printf("highest cost per pixel, large sizes: %.3f ns  (%s)\n", perPixel[1],
                perPixelCase[1].c_str());
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QApplication app(qtArgc, argv);

    for (const Size size : kSizes) {
        const std::string sz = SizeName(size);
        for (bool text : {false, true}) {
            for (int style = 0; style < StyleCount(size); ++style) {
                benchmark::RegisterBenchmark(("DrawProgressBar/" +
                                              std::string(vex::kScrollingStyles[style].name) + "/" +
                                              TextName(text) + "/" + sz)
                                                 .c_str(),
                                             DrawProgressBar, style, text, size)
                    ->Unit(benchmark::kMicrosecond);
            }
            for (const char* qtStyle : {"Fusion", "Windows"}) {
                benchmark::RegisterBenchmark(
                    ("QProgressBar/" + std::string(qtStyle) + "/" + TextName(text) + "/" + sz)
                        .c_str(),
                    QtProgressBar, qtStyle, text, size, 1)
                    ->Unit(benchmark::kMicrosecond);
            }
        }
        benchmark::RegisterBenchmark(("Fill/" + sz).c_str(), Fill, size)
            ->Unit(benchmark::kMicrosecond);
    }

    for (const Size size : kWidgetSizes) {
        benchmark::RegisterBenchmark(("QProgressBar/Windows/text/ratio2/" + SizeName(size)).c_str(),
                                     QtProgressBar, "Windows", true, size, 2)
            ->Unit(benchmark::kMicrosecond);
        for (const int look : kWidgetLooks) {
            for (const WidgetStateName& st : kWidgetStates) {
                const std::string name = "Widget/" + std::string(vex::kScrollingStyles[look].name) +
                                         "/" + st.name + "/" + SizeName(size);
                benchmark::RegisterBenchmark(name.c_str(), WidgetPaint, look, st.state, size,
                                             Change::None)
                    ->Unit(benchmark::kMicrosecond);
                benchmark::RegisterBenchmark((name + "/changed").c_str(), WidgetPaint, look,
                                             st.state, size, Change::EachPaint)
                    ->Unit(benchmark::kMicrosecond);
            }
        }
    }

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    PrintTable(reporter.micros);
    benchmark::Shutdown();
    return 0;
}
