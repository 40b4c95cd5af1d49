// One complete DrawProgressBar (clear, painter, text, copy of the surface to the screen) per
// style, with and without text, at the updater's 233 x 17 and at 2000 x 40; beside it Qt's
// QProgressBar rendered with the Fusion and the Windows styles at the same size and value, and
// QImage::fill of the same size as the floor. Prints a table of times and ratios at the end.
#include "progressbar/StdPicture.h"
#include "progressbar/headless/HeadlessHost.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QProgressBar>
#include <QStyle>
#include <QStyleFactory>
#include <benchmark/benchmark.h>

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
};
constexpr Size kSizes[] = {{233, 17}, {2000, 40}};

const char* const kStyleNames[] = {"XPBlocks", "XPSmooth", "XPSearching", "Flat",    "Etched",
                                   "Shaded",   "Dark",     "Hatch",       "Picture", "Glass"};

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
    bar.SetScrolling(style);
    bar.SetShowText(vex::ToBoolean(text));
    bar.SetValue(kValue);
    for (auto _ : state) {
        bar.DrawProgressBar();
        benchmark::DoNotOptimize(host.Screen().constBits());
    }
}

void QtProgressBar(benchmark::State& state, const char* styleName, bool text, Size size) {
    std::unique_ptr<QStyle> style(QStyleFactory::create(QString::fromLatin1(styleName)));
    if (!style) {
        state.SkipWithError("style not available");
        return;
    }
    QProgressBar bar;
    bar.setStyle(style.get());
    bar.setRange(0, 100);
    bar.setValue(kValue);
    bar.setTextVisible(text);
    bar.resize(size.width, size.height);
    QImage image(size.width, size.height, QImage::Format_RGB32);
    for (auto _ : state) {
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

// Keeps the console output and remembers each benchmark's time per iteration in microseconds.
class CollectingReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            if (r.run_type == Run::RT_Iteration && !r.error_occurred) {
                micros[r.benchmark_name()] =
                    r.GetAdjustedRealTime() *
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

void PrintTable(const std::map<std::string, double>& t) {
    for (const Size size : kSizes) {
        const std::string sz = SizeName(size);
        const double fill = Lookup(t, "Fill/" + sz);
        std::printf("\n%s (QImage::fill %.2f us)\n", sz.c_str(), fill);
        std::printf("%-14s %-7s %10s %9s %9s %9s\n", "style", "text", "time us", "/Windows",
                    "/Fusion", "/fill");
        for (bool text : {false, true}) {
            const std::string tn = TextName(text);
            const double windows = Lookup(t, "QProgressBar/Windows/" + tn + "/" + sz);
            const double fusion = Lookup(t, "QProgressBar/Fusion/" + tn + "/" + sz);
            std::printf("%-14s %-7s %10.2f\n", "Qt Windows", tn.c_str(), windows);
            std::printf("%-14s %-7s %10.2f\n", "Qt Fusion", tn.c_str(), fusion);
            for (const char* name : kStyleNames) {
                const double us =
                    Lookup(t, "DrawProgressBar/" + std::string(name) + "/" + tn + "/" + sz);
                std::printf("%-14s %-7s %10.2f %9.2f %9.2f %9.1f\n", name, tn.c_str(), us,
                            windows > 0 ? us / windows : 0.0, fusion > 0 ? us / fusion : 0.0,
                            fill > 0 ? us / fill : 0.0);
            }
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QApplication app(qtArgc, argv);

    for (const Size size : kSizes) {
        const std::string sz = SizeName(size);
        for (bool text : {false, true}) {
            for (int style = 0; style < 10; ++style) {
                benchmark::RegisterBenchmark(("DrawProgressBar/" + std::string(kStyleNames[style]) +
                                              "/" + TextName(text) + "/" + sz)
                                                 .c_str(),
                                             DrawProgressBar, style, text, size)
                    ->Unit(benchmark::kMicrosecond);
            }
            for (const char* qtStyle : {"Fusion", "Windows"}) {
                benchmark::RegisterBenchmark(
                    ("QProgressBar/" + std::string(qtStyle) + "/" + TextName(text) + "/" + sz)
                        .c_str(),
                    QtProgressBar, qtStyle, text, size)
                    ->Unit(benchmark::kMicrosecond);
            }
        }
        benchmark::RegisterBenchmark(("Fill/" + sz).c_str(), Fill, size)
            ->Unit(benchmark::kMicrosecond);
    }

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    PrintTable(reporter.micros);
    benchmark::Shutdown();
    return 0;
}
