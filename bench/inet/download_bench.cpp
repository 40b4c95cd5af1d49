// Downloads one URL into a folder through the transfer component and the download routine, the
// way the updater fetches its new executable, and prints what the benchmark script compares.
// Given the vendor's public key file, it fetches URL.minisig first and checks the body against
// it while it streams in, as a signed update does:
//   bytes=N seconds=S mbps=M peak_rss_kib=K longest_tick_gap_ms=G ticks=T transfer_gap_ms=X
//   final_wait_ms=F
// A 1 ms timer runs during the download; the longest gap between its ticks shows whether the
// event loop ever stalled. The time from the last tick to the download's return counts as a gap
// too: what the routine does once the body is in, with no tick to show it, holds the window up
// just the same. G is the longest of both; X is the longest gap before the end, F the end.
#include "updater/FormWindow.h"
#include "updater/SignedDownload.h"
#include "updater/modUpdate.h"

#include "platform/inet/Inet.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <optional>

namespace {

// Only the message box matters here: a failure is printed.
class BenchWindow : public vex::updater::FormWindow {
  public:
    void SetCaption(vex::updater::LabelId, const QString&) override {}
    void SetVisible(vex::updater::LabelId, bool) override {}
    void SetTimerInterval(vex::updater::TimerId, int) override {}
    void SetBarValue(vex::Long) override {}
    void Hide() override {}
    void SetNormalState() override {}
    int MsgBox(const QString& prompt, int, const QString&) override {
        std::fprintf(stderr, "download failed: %s\n", qPrintable(prompt));
        return vex::updater::vbOK;
    }
    bool Shell(const QString&, int) override { return false; }
    void End() override {}
};

long PeakRssKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: inet_download_bench URL FOLDER [PUBLIC_KEY_FILE]\n");
        return 2;
    }
    const QString url = QString::fromLocal8Bit(argv[1]);
    const QString folder = QString::fromLocal8Bit(argv[2]);
    std::optional<vex::signature::PublicKey> key;
    if (argc == 4) {
        QFile keyFile(QString::fromLocal8Bit(argv[3]));
        QString why;
        if (keyFile.open(QIODevice::ReadOnly))
            key = vex::signature::PublicKey::FromFile(keyFile.readAll(), why);
        if (!key) {
            std::fprintf(stderr, "%s: %s\n", argv[3],
                         qPrintable(why.isEmpty() ? keyFile.errorString() : why));
            return 2;
        }
    }

    QElapsedTimer clock;
    qint64 lastTick = -1;
    qint64 longestGapNs = 0;
    long ticks = 0;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (lastTick >= 0 && now - lastTick > longestGapNs) longestGapNs = now - lastTick;
        lastTick = now;
        ++ticks;
    });

    vex::inet::Inet inet;
    BenchWindow window;
    clock.start();
    timer.start(1);
    const bool ok = key ? vex::updater::DownloadSignedFile(inet, url, folder, window, {}, *key, {})
                        : vex::updater::DownloadFile(inet, url, folder, window);
    const qint64 endNs = clock.nsecsElapsed();
    const double seconds = endNs / 1e9;
    timer.stop();
    const qint64 finalWaitNs = endNs - std::max<qint64>(lastTick, 0);
    const qint64 transferGapNs = longestGapNs;
    longestGapNs = std::max(longestGapNs, finalWaitNs);
    if (!ok) return 1;

    const qint64 bytes = QFileInfo(vex::updater::TargetPathOf(url, folder)).size();
    std::printf("bytes=%lld seconds=%.3f mbps=%.1f peak_rss_kib=%ld longest_tick_gap_ms=%.2f "
                "ticks=%ld transfer_gap_ms=%.2f final_wait_ms=%.2f\n",
                static_cast<long long>(bytes), seconds, bytes / seconds / 1e6, PeakRssKiB(),
                longestGapNs / 1e6, ticks, transferGapNs / 1e6, finalWaitNs / 1e6);
    return 0;
}
