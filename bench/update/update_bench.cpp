// One whole update run in-process, as the terminal front end runs it: the program folder holds
// the installed release, the server the published one. Prints what bench/update/run.sh compares:
//   seconds=S peak_rss_kib=K longest_tick_gap_ms=G ticks=T outcome="its messages"
// A 1 ms timer runs throughout; the longest gap between its ticks (the time after the last tick
// included) is the longest the event loop, and so a window, was held up. Exit status 0 when the
// run left the new executable in the program folder.
#include "updater/FormWindow.h"
#include "updater/UpdateForm.h"

#include "platform/inet/Inet.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QStringList>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

// Remembers the messages; answers every question No, so that nothing is started.
class BenchWindow : public vex::updater::FormWindow {
  public:
    QStringList messages;

    void SetCaption(vex::updater::LabelId, const QString&) override {}
    void SetVisible(vex::updater::LabelId, bool) override {}
    void SetTimerInterval(vex::updater::TimerId, int) override {}
    void SetBarValue(vex::Long) override {}
    void Hide() override {}
    void SetNormalState() override {}
    int MsgBox(const QString& prompt, int buttons, const QString&) override {
        messages << prompt;
        return buttons == vex::updater::vbYesNo ? vex::updater::vbNo : vex::updater::vbOK;
    }
    bool Shell(const QString&, int) override { return false; }
    void End() override { QCoreApplication::exit(0); }
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
    if (argc != 3) {
        std::fprintf(stderr, "usage: update_bench PROGRAM_FOLDER SERVER_URL\n");
        return 2;
    }
    vex::updater::UpdateSettings settings;
    settings.programFolder = QString::fromLocal8Bit(argv[1]);
    settings.serverBaseUrl = QString::fromLocal8Bit(argv[2]);
    settings.ownVersion = QStringLiteral("1.0.0");

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

    BenchWindow window;
    vex::inet::Inet inet;
    vex::updater::UpdateForm form(window, inet, settings);
    clock.start();
    timer.start(1);
    form.Form_Load();
    QTimer::singleShot(0, &app, [&] {
        form.Form_Activate();
        QCoreApplication::exit(0);
    });
    app.exec();
    const qint64 endNs = clock.nsecsElapsed();
    timer.stop();
    longestGapNs = std::max(longestGapNs, endNs - std::max<qint64>(lastTick, 0));

    std::printf("seconds=%.3f peak_rss_kib=%ld longest_tick_gap_ms=%.2f ticks=%ld outcome=\"%s\"\n",
                endNs / 1e9, PeakRssKiB(), longestGapNs / 1e6, ticks,
                qPrintable(window.messages.join(QStringLiteral(" / "))));
    return QFile::exists(settings.programFolder + QStringLiteral("/DrixaBilling2.exe")) ? 0 : 1;
}
