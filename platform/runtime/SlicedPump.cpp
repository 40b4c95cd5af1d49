#include "platform/runtime/SlicedPump.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <vector>

namespace vex::runtime {

namespace {

constexpr qint64 kPiece = 256 * 1024;
// After this long the loop gets control back, as a download's slices do.
constexpr qint64 kSliceNs = 3'000'000;
// A target that works behind its writes and holds this much is given nothing more until it
// has caught up (the bound of the transfer component's sinks).
constexpr qint64 kBacklog = 4 * 1024 * 1024;

} // namespace

bool PumpInSlices(QIODevice& from, QIODevice& to, qint64 bytes, const std::function<bool()>& stop,
                  QString& why) {
    why.clear();
    std::vector<char> piece(kPiece);
    qint64 left = bytes;
    bool done = false;
    QEventLoop loop;
    QTimer next;
    next.setSingleShot(false);
    // A target that is behind wakes the pump as it catches up; until then the loop sleeps
    // rather than spinning on its clock.
    QObject::connect(&to, &QIODevice::bytesWritten, &loop, [&] {
        if (!next.isActive() && to.bytesToWrite() < kBacklog) next.start(0);
    });
    // The stop check goes on while the target is behind, and a target that catches up without
    // saying so is not waited for long.
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &loop, [&] {
        if (stop && stop()) {
            loop.quit();
        } else if (!next.isActive() && to.bytesToWrite() < kBacklog) {
            next.start(0);
        }
    });
    QObject::connect(&next, &QTimer::timeout, &loop, [&] {
        if (stop && stop()) {
            loop.quit();
            return;
        }
        QElapsedTimer spent;
        spent.start();
        while (spent.nsecsElapsed() < kSliceNs && to.bytesToWrite() < kBacklog) {
            const qint64 wanted = left < 0 ? kPiece : qMin(left, kPiece);
            const qint64 n = wanted == 0 ? 0 : from.read(piece.data(), wanted);
            if (n < 0) {
                why = from.errorString();
                loop.quit();
                return;
            }
            if (n == 0) {
                if (left > 0) why = QStringLiteral("%1 bytes are missing").arg(left);
                done = why.isEmpty();
                loop.quit();
                return;
            }
            if (to.write(piece.data(), n) != n) {
                why = to.errorString();
                loop.quit();
                return;
            }
            if (left > 0) left -= n;
        }
        if (to.bytesToWrite() >= kBacklog) next.stop();
    });
    next.start(0);
    watch.start(50);
    loop.exec();
    next.stop();
    return done;
}

} // namespace vex::runtime
