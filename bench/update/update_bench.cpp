// One whole update run in-process, as the terminal front end runs it: the program folder holds
// the installed release, the server the published one. Prints what bench/update/run.sh compares:
//   seconds=S peak_rss_kib=K peak_anon_kib=N peak_file_kib=F longest_tick_gap_ms=G
//   gap_cpu_ms=C gap_idle_ms=I ticks=T end_wait_ms=W gap_at_s=A gap_status="..."
//   outcome="its messages"
// peak_anon_kib and peak_file_kib split the highest resident size sampled (every 10 ms) into
// the process's own memory and pages of mapped files.
// A 1 ms timer runs throughout; the longest gap between its ticks (the time after the last tick
// included) is the longest the event loop, and so a window, was held up. gap_cpu_ms is the CPU
// time this thread spent in it (far less than the gap: the system ran something else);
// gap_idle_ms is the longest gap that a thread with nothing to do, kept on the processor the
// loop last ran on, saw meanwhile (about the whole gap: that processor was held, whatever the
// loop was doing); gap_at_s and gap_status say when it began and what the status line said
// then. With UPDATE_BENCH_GAPS_MS=N every gap longer than N ms goes to standard error the same
// way. end_wait_ms is how long the program then waits, as it ends, for files still being
// removed beside it (the window is gone by then). With UPDATE_BENCH_STACKS_MS=N a watchdog
// thread takes the main thread's stack whenever no tick came for N ms, and 2N, and so on, and
// writes the stacks to standard error at the end (addresses: `addr2line -e` on the library or
// binary named). Exit status 0 when the run left the new executable in the program folder.
#include "updater/FormWindow.h"
#include "updater/UpdateForm.h"

#include "platform/inet/Inet.h"
#include "platform/runtime/BackgroundRemoval.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QStringList>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <execinfo.h>
#include <memory>
#include <mutex>
#include <optional>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

// Remembers the messages; answers every question No, so that nothing is started.
class BenchWindow : public vex::updater::FormWindow {
  public:
    QStringList messages;
    QString status; // the last caption set, whichever label

    void SetCaption(vex::updater::LabelId, const QString& caption) override { status = caption; }
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

// CPU time of the calling thread: a gap that used little of it was the system's (another
// process ran, the thread waited), not this program's work.
qint64 ThreadCpuNs() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1'000'000'000LL + now.tv_nsec;
}

// Stacks of the main thread taken while it held the loop up, filled by a signal handler.
struct Stack {
    std::array<void*, 48> frames{};
    int depth = 0;
    qint64 atNs = 0;
};
std::array<Stack, 64> gStacks;
std::atomic<int> gStackCount{0};
std::atomic<qint64> gSampleAtNs{0};

void TakeStack(int) {
    const int i = gStackCount.load();
    if (i >= int(gStacks.size())) return;
    gStacks[i].depth = ::backtrace(gStacks[i].frames.data(), int(gStacks[i].frames.size()));
    gStacks[i].atNs = gSampleAtNs.load();
    gStackCount.store(i + 1);
}

// Signals the main thread whenever its loop has been held up for another `everyNs`.
class Watchdog {
  public:
    Watchdog(const QElapsedTimer& clock, const std::atomic<qint64>& lastTick, qint64 everyNs)
        : main_(::pthread_self()) {
        void* warm[4];
        ::backtrace(warm, 4); // loads what backtrace needs before any signal arrives
        struct sigaction action {};
        action.sa_handler = TakeStack;
        action.sa_flags = SA_RESTART; // the main thread's calls go on as if nothing happened
        ::sigaction(SIGPROF, &action, nullptr);
        thread_ = std::thread([this, &clock, &lastTick, everyNs] {
            qint64 sampledTick = -1;
            int samples = 0;
            while (!stop_.load()) {
                std::this_thread::sleep_for(std::chrono::microseconds(500));
                const qint64 tick = lastTick.load();
                if (tick < 0) continue;
                if (tick != sampledTick) {
                    sampledTick = tick;
                    samples = 0;
                }
                const qint64 now = clock.nsecsElapsed();
                if (now - tick >= (samples + 1) * everyNs) {
                    ++samples;
                    gSampleAtNs.store(now);
                    ::pthread_kill(main_, SIGPROF);
                }
            }
        });
    }
    ~Watchdog() {
        stop_.store(true);
        thread_.join();
        std::signal(SIGPROF, SIG_DFL);
    }

  private:
    pthread_t main_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// A thread with nothing to do but wake every millisecond, kept on one processor: the gaps it
// sees too are that processor's (the host held the virtual processor, or something else ran
// there first), not the loop's work.
class IdleTicker {
  public:
    IdleTicker(const QElapsedTimer& clock, int cpu) {
        thread_ = std::thread([this, &clock, cpu] {
            cpu_set_t only;
            CPU_ZERO(&only);
            CPU_SET(cpu, &only);
            ::pthread_setaffinity_np(::pthread_self(), sizeof only, &only);
            qint64 last = clock.nsecsElapsed();
            while (!stop_.load()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                const qint64 now = clock.nsecsElapsed();
                if (now - last > 2'000'000) {
                    const std::lock_guard lock(mutex_);
                    gaps_.push_back({last, now});
                }
                last = now;
                if (++turns % 10 == 0) SampleMemory();
            }
        });
    }
    // At the highest resident size sampled (every 10 ms or so): how much of it was the
    // process's own memory and how much pages of mapped files.
    std::pair<long, long> PeakAnonAndFileKiB() {
        const std::lock_guard lock(mutex_);
        return {peakAnonKiB_, peakFileKiB_};
    }
    ~IdleTicker() { Stop(); }
    void Stop() {
        stop_.store(true);
        if (thread_.joinable()) thread_.join();
    }
    // The longest of this thread's own gaps that overlaps [from, to].
    qint64 LongestWithin(qint64 from, qint64 to) {
        const std::lock_guard lock(mutex_);
        qint64 longest = 0;
        for (const auto& [begin, end] : gaps_) {
            if (begin < to && end > from) longest = std::max(longest, end - begin);
        }
        return longest;
    }

  private:
    void SampleMemory() {
        // statm: size, resident, shared (file pages), in pages.
        std::FILE* statm = std::fopen("/proc/self/statm", "r");
        if (!statm) return;
        long size = 0, resident = 0, shared = 0;
        const bool read = std::fscanf(statm, "%ld %ld %ld", &size, &resident, &shared) == 3;
        std::fclose(statm);
        if (!read) return;
        const long pageKiB = ::sysconf(_SC_PAGESIZE) / 1024;
        const std::lock_guard lock(mutex_);
        if (resident * pageKiB > peakAnonKiB_ + peakFileKiB_) {
            peakAnonKiB_ = (resident - shared) * pageKiB;
            peakFileKiB_ = shared * pageKiB;
        }
    }

    long turns = 0;
    long peakAnonKiB_ = 0;
    long peakFileKiB_ = 0;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<std::pair<qint64, qint64>> gaps_;
    std::thread thread_;
};

void PrintStacks() {
    for (int i = 0; i < gStackCount.load(); ++i) {
        std::fprintf(stderr, "stack at %.3f s:\n", gStacks[i].atNs / 1e9);
        std::fflush(stderr);
        ::backtrace_symbols_fd(gStacks[i].frames.data(), gStacks[i].depth, STDERR_FILENO);
    }
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
    std::atomic<qint64> lastTick{-1};
    qint64 longestGapNs = 0;
    qint64 longestGapAtNs = 0;
    QString longestGapStatus;
    long ticks = 0;
    const qint64 reportGapsOverNs =
        qEnvironmentVariableIntValue("UPDATE_BENCH_GAPS_MS") * 1000000LL;
    BenchWindow window;
    // One idle thread per processor; the first also samples the memory.
    std::vector<std::unique_ptr<IdleTicker>> idle;
    for (int cpu = 0; cpu < std::max(1, QThread::idealThreadCount()); ++cpu)
        idle.push_back(std::make_unique<IdleTicker>(clock, cpu));
    int processorAtLastTick = -1;
    qint64 longestGapIdleNs = 0;
    QString statusAtLastTick;
    qint64 cpuAtLastTick = ThreadCpuNs();
    qint64 longestGapCpuNs = 0;
    const auto gap = [&](qint64 now) {
        const qint64 length = now - std::max<qint64>(lastTick, 0);
        const qint64 cpu = ThreadCpuNs() - cpuAtLastTick;
        // The processor the loop last ran on: its idle thread's gap says whether the
        // processor itself was held.
        const qint64 from = std::max<qint64>(lastTick, 0);
        const qint64 idleGap = processorAtLastTick >= 0 && processorAtLastTick < int(idle.size())
                                   ? idle[processorAtLastTick]->LongestWithin(from, now)
                                   : 0;
        if (length > longestGapNs) {
            longestGapNs = length;
            longestGapIdleNs = idleGap;
            longestGapCpuNs = cpu;
            longestGapAtNs = std::max<qint64>(lastTick, 0);
            longestGapStatus = statusAtLastTick;
        }
        if (reportGapsOverNs > 0 && length > reportGapsOverNs) {
            std::fprintf(stderr,
                         "gap %.2f ms (%.2f ms of CPU, its processor's idle thread's gap %.2f ms) "
                         "at %.3f s, "
                         "status \"%s\" -> \"%s\"\n",
                         length / 1e6, cpu / 1e6, idleGap / 1e6,
                         std::max<qint64>(lastTick, 0) / 1e9, qPrintable(statusAtLastTick),
                         qPrintable(window.status));
        }
    };
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (lastTick >= 0) gap(now);
        lastTick = now;
        cpuAtLastTick = ThreadCpuNs();
        processorAtLastTick = ::sched_getcpu();
        statusAtLastTick = window.status;
        ++ticks;
    });

    vex::inet::Inet inet;
    vex::updater::UpdateForm form(window, inet, settings);
    clock.start();
    const qint64 stacksEveryNs = qEnvironmentVariableIntValue("UPDATE_BENCH_STACKS_MS") * 1000000LL;
    std::optional<Watchdog> watchdog;
    if (stacksEveryNs > 0) watchdog.emplace(clock, lastTick, stacksEveryNs);
    timer.start(1);
    form.Form_Load();
    QTimer::singleShot(0, &app, [&] {
        form.Form_Activate();
        QCoreApplication::exit(0);
    });
    app.exec();
    const qint64 endNs = clock.nsecsElapsed();
    timer.stop();
    watchdog.reset();
    for (auto& ticker : idle)
        ticker->Stop();
    gap(endNs);
    vex::runtime::WaitForBackgroundRemovals();
    const qint64 endWaitNs = clock.nsecsElapsed() - endNs;

    const auto [peakAnonKiB, peakFileKiB] = idle.front()->PeakAnonAndFileKiB();
    std::printf("seconds=%.3f peak_rss_kib=%ld peak_anon_kib=%ld peak_file_kib=%ld "
                "longest_tick_gap_ms=%.2f gap_cpu_ms=%.2f "
                "gap_idle_ms=%.2f ticks=%ld end_wait_ms=%.2f gap_at_s=%.3f gap_status=\"%s\" "
                "outcome=\"%s\"\n",
                endNs / 1e9, PeakRssKiB(), peakAnonKiB, peakFileKiB, longestGapNs / 1e6,
                longestGapCpuNs / 1e6, longestGapIdleNs / 1e6, ticks, endWaitNs / 1e6,
                longestGapAtNs / 1e9, qPrintable(longestGapStatus),
                qPrintable(window.messages.join(QStringLiteral(" / "))));
    std::fflush(stdout);
    PrintStacks();
    return QFile::exists(settings.programFolder + QStringLiteral("/DrixaBilling2.exe")) ? 0 : 1;
}
