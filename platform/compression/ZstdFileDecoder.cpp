#include "platform/compression/ZstdFileDecoder.h"

#include "platform/runtime/BackgroundPageRelease.h"
#include "platform/runtime/BackgroundRemoval.h"
#include "platform/runtime/BackgroundWriteback.h"
#include "platform/runtime/WorkerPriority.h"

// A stable output buffer is part of zstd's advanced interface.
#define ZSTD_STATIC_LINKING_ONLY
#include <zstd.h>

#include <QCoreApplication>
#include <QThread>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vex::compression {

namespace {

// How much content is decoded between two releases of pages (from a thread beside): the
// resident part of the file and of the prefix stays about this large.
constexpr qint64 kReleaseStep = 2 * 1024 * 1024;
// How far the release may fall behind the decoding before decoding waits for it.
constexpr qint64 kMaxReleaseLag = 4 * kReleaseStep;
// The most input zstd is given at once: a whole block and its header fit.
constexpr qint64 kMaxPiece = 256 * 1024;

QString SystemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

struct ZstdFileDecoder::State {
    explicit State(int outputFd)
        : fd(::fcntl(outputFd, F_DUPFD_CLOEXEC, 0)), fdError(fd < 0 ? errno : 0),
          writeback(outputFd) {}

    int fd; // the decoder's own descriptor of the output; -1: none
    int fdError;
    ZSTD_DCtx* context = ZSTD_createDCtx();
    vex::runtime::BackgroundWriteback writeback;
    std::unique_ptr<vex::runtime::BackgroundPageRelease> release; // once mapped
    char* map = nullptr;
    qint64 size = 0;
    qint64 pos = 0;      // content decoded so far
    qint64 released = 0; // content whose pages were let go
    char empty = 0;      // the output of an empty content, at one address throughout

    ~State() {
        Unmap();
        ZSTD_freeDCtx(context);
        if (fd >= 0) ::close(fd);
    }

    void Unmap() {
        // The release thread may be at work on the mapping: it ends first.
        release.reset();
        if (map) ::munmap(map, static_cast<size_t>(size));
        map = nullptr;
    }
};

ZstdFileDecoder::ZstdFileDecoder(int outputFd, QIODevice* observer, QByteArrayView prefix,
                                 const DecodeLimits& limits)
    : observer_(observer), prefix_(prefix), state_(std::make_unique<State>(outputFd)),
      header_(limits) {
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    ZSTD_DCtx* context = state_->context;
    if (state_->fd < 0) {
        Fail(SystemError(state_->fdError));
    } else if (!context) {
        Fail(QStringLiteral("zstd could not make a decompression context"));
    } else {
        size_t result = ZSTD_DCtx_setParameter(context, ZSTD_d_windowLogMax, limits.maxWindowLog);
        if (!ZSTD_isError(result))
            result = ZSTD_DCtx_setParameter(context, ZSTD_d_stableOutBuffer, 1);
        if (!ZSTD_isError(result) && !prefix.isEmpty()) {
            result =
                ZSTD_DCtx_refPrefix(context, prefix.data(), static_cast<size_t>(prefix.size()));
        }
        if (ZSTD_isError(result)) {
            Fail(QStringLiteral("zstd refused a setting: %1").arg(ZSTD_getErrorName(result)));
        }
    }
    worker_ = std::thread([this] {
        vex::runtime::LowerThisThreadsPriority();
        Run();
    });
}

ZstdFileDecoder::~ZstdFileDecoder() {
    // Joined before the members and the QObject go; a report still on its way is dropped.
    Cancel();
}

bool ZstdFileDecoder::Finish() {
    {
        const std::lock_guard lock(mutex_);
        finishing_ = true;
    }
    changed_.notify_all();
    if (QCoreApplication::instance() != nullptr &&
        QThread::currentThread()->eventDispatcher() != nullptr) {
        QEventLoop loop;
        finishLoop_ = &loop;
        bool done = false;
        {
            const std::lock_guard lock(mutex_);
            done = done_;
        }
        // The decoding thread quits the loop once it is done; it returns early when the
        // application quits, and the rest is waited for below.
        if (!done) loop.exec();
        finishLoop_ = nullptr;
    }
    Stop();
    ReportTaken();
    bool cancelled = false;
    {
        const std::lock_guard lock(mutex_);
        cancelled = cancelled_;
    }
    if (cancelled) Fail(QStringLiteral("decoding was stopped"));
    return !HasFailed();
}

void ZstdFileDecoder::Cancel() {
    {
        const std::lock_guard lock(mutex_);
        cancelled_ = true;
    }
    changed_.notify_all();
    Stop();
}

void ZstdFileDecoder::Stop() {
    if (worker_.joinable()) worker_.join();
}

bool ZstdFileDecoder::HasFailed() {
    TakeFailure();
    return failed_;
}

qint64 ZstdFileDecoder::readData(char*, qint64) {
    return -1;
}

qint64 ZstdFileDecoder::bytesToWrite() const {
    const std::lock_guard lock(mutex_);
    return written_ - taken_;
}

qint64 ZstdFileDecoder::writeData(const char* data, qint64 size) {
    if (HasFailed()) return -1;
    std::unique_lock lock(mutex_);
    if (cancelled_ || finishing_) return -1;
    // A writer that does not keep to the bound waits while the excess is decoded.
    changed_.wait(lock, [&] {
        return failed_ || cancelled_ || written_ - taken_ + size <= kMaxPending ||
               written_ == taken_;
    });
    if (failed_ || cancelled_) {
        lock.unlock();
        TakeFailure();
        return -1;
    }
    // The waiting bytes stay in one allocation, moved to its front only when the new ones would
    // not fit behind them: a fresh allocation of megabytes costs a page fault per page, which
    // held the loop for milliseconds on every write.
    const qsizetype waiting = pending_.size() - pendingAt_;
    if (pendingAt_ > 0 && pending_.size() + size > pending_.capacity()) {
        std::memmove(pending_.data(), pending_.constData() + pendingAt_, waiting);
        pending_.resize(waiting);
        pendingAt_ = 0;
    }
    if (pending_.capacity() < pending_.size() + size) pending_.reserve(kMaxPending + size);
    pending_.append(data, size);
    written_ += size;
    lock.unlock();
    changed_.notify_all();
    return size;
}

void ZstdFileDecoder::Run() {
    QByteArray piece; // the decoding thread's copy of the bytes of one step
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] {
            return cancelled_ || finishing_ || failed_ || pendingAt_ < pending_.size();
        });
        if (cancelled_) break;
        bool progress = false;
        if (failed_) {
            // Nothing more will be decoded: the writer is told that all it gave was taken.
            progress = written_ > taken_;
            taken_ = written_;
            pending_.clear();
            pendingAt_ = 0;
            if (finishing_) break;
            if (!progress) {
                // Waits for the end, or for more writes to drop.
                changed_.wait(lock, [this] { return cancelled_ || finishing_; });
                continue;
            }
        } else if (pendingAt_ < pending_.size()) {
            // One step of zstd's at a time, so that a cancel is heard between two.
            const qint64 n = qMin<qint64>(NextPiece(), pending_.size() - pendingAt_);
            piece.resize(n);
            std::memcpy(piece.data(), pending_.constData() + pendingAt_, static_cast<size_t>(n));
            pendingAt_ += n;
            if (pendingAt_ == pending_.size()) {
                pending_.resize(0); // keeps the allocation for what comes next
                pendingAt_ = 0;
            }
            lock.unlock();
            DecodeInput(piece.constData(), n);
            if (header_.state() == FrameHeaderGate::State::Passed) stepLeft_ -= n;
            lock.lock();
            taken_ += n;
            progress = true;
        } else if (finishing_) {
            lock.unlock();
            EndFrame();
            lock.lock();
            break;
        }
        if (progress) {
            // One report at a time is on its way; it announces everything taken by the time
            // it runs, so the owner's event loop is not flooded.
            const bool report = !reportPosted_;
            reportPosted_ = true;
            // Without the lock: this thread runs at a lower priority than the writer's, which
            // must not wait for it to be scheduled again.
            lock.unlock();
            changed_.notify_all(); // a writer may wait for room
            if (report) {
                QMetaObject::invokeMethod(
                    this, [this] { ReportTaken(); }, Qt::QueuedConnection);
            }
            lock.lock();
        }
    }
    done_ = true;
    lock.unlock();
    changed_.notify_all();
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (finishLoop_) finishLoop_->quit();
        },
        Qt::QueuedConnection);
}

bool ZstdFileDecoder::EndFrame() {
    if (failed_) return false;
    if (!frameEnded_) return Fail(QStringLiteral("the compressed data ends before its frame does"));
    // Every page goes back to the file before the caller syncs and renames it.
    state_->writeback.Stop();
    state_->Unmap();
    return true;
}

void ZstdFileDecoder::ReportTaken() {
    qint64 taken = 0;
    {
        const std::lock_guard lock(mutex_);
        reportPosted_ = false;
        taken = taken_;
    }
    TakeFailure();
    if (taken == reported_) return;
    const qint64 progress = taken - reported_;
    reported_ = taken;
    emit bytesWritten(progress);
}

void ZstdFileDecoder::TakeFailure() {
    if (failureTaken_ || !failed_) return;
    QString why;
    {
        const std::lock_guard lock(mutex_);
        why = failure_;
    }
    failureTaken_ = true;
    setErrorString(why);
}

qint64 ZstdFileDecoder::NextPiece() {
    // The header a byte at a time: the gate passes it on exactly, with nothing behind it.
    if (header_.state() != FrameHeaderGate::State::Passed) return 1;
    // Then exactly what zstd needs for its next step: a block's header, a block, the checksum.
    // A few bytes of a patch can stand for a long stretch of the old file, so more input in
    // one call could decode many blocks of 128 KiB, milliseconds of copying and page faults;
    // given only its step, zstd decodes at most one. What it was given of a step and keeps
    // waiting for the rest counts towards that step.
    if (stepLeft_ <= 0) {
        stepLeft_ = qBound<qint64>(
            1, static_cast<qint64>(ZSTD_nextSrcSizeToDecompress(state_->context)), kMaxPiece);
    }
    return stepLeft_;
}

bool ZstdFileDecoder::DecodeInput(const char* data, qint64 size) {
    if (header_.state() == FrameHeaderGate::State::Collecting) {
        switch (header_.Take(data, size)) {
        case FrameHeaderGate::State::Collecting:
            return true;
        case FrameHeaderGate::State::Refused:
            return Fail(header_.Why());
        case FrameHeaderGate::State::Passed: {
            if (header_.ContentSize() < 0) {
                return Fail(QStringLiteral("the frame does not declare its content size"));
            }
            if (!MapOutput(header_.ContentSize())) return false;
            const QByteArray header = header_.TakeCollected();
            if (!Decode(header.constData(), header.size())) return false;
            break;
        }
        }
    }
    return Decode(data, size);
}

bool ZstdFileDecoder::MapOutput(qint64 size) {
    state_->size = size;
    if (size == 0) return true;
    // Reserved first: a write to a mapped page that the disk cannot take would kill the
    // program instead of failing.
    int error = ::posix_fallocate(state_->fd, 0, size);
    // Space held by files on their way out comes back once they are gone.
    if ((error == ENOSPC || error == EDQUOT) && vex::runtime::WaitForBackgroundRemovals()) {
        error = ::posix_fallocate(state_->fd, 0, size);
    }
    if (error != 0) return Fail(SystemError(error));
    void* map = ::mmap(nullptr, static_cast<size_t>(size), PROT_READ | PROT_WRITE, MAP_SHARED,
                       state_->fd, 0);
    if (map == MAP_FAILED) return Fail(SystemError(errno));
    state_->map = static_cast<char*>(map);
    // The file's blocks are reserved but hold nothing yet: the system reads such pages as
    // zeros, and a fault would read ahead megabytes of them at once, each fresh page costly
    // to fill on some machines. One page per fault keeps that work in step with decoding,
    // and most of it is done beside, just ahead of the decoding (BackgroundPageRelease).
    ::madvise(map, static_cast<size_t>(size), MADV_RANDOM);
    // The prefix's pages may be let go only when the system can read them back from a file;
    // a prefix in memory of its own would lose its bytes.
    const bool prefixFromFile =
        !prefix_.isEmpty() &&
        vex::runtime::BackgroundPageRelease::IsSharedFileMapping(prefix_.data(), prefix_.size());
    state_->release = std::make_unique<vex::runtime::BackgroundPageRelease>(
        prefixFromFile ? prefix_.data() : nullptr, prefixFromFile ? prefix_.size() : 0, state_->map,
        size, 2 * kReleaseStep);
    state_->release->ReleaseUpTo(0);
    return true;
}

bool ZstdFileDecoder::Decode(const char* data, qint64 size) {
    const size_t total = static_cast<size_t>(size);
    ZSTD_inBuffer in{data, total, 0};
    // Empty content: nothing to map, zstd still reads the frame to its end.
    ZSTD_outBuffer out{state_->map ? state_->map : &state_->empty,
                       static_cast<size_t>(state_->size), static_cast<size_t>(state_->pos)};
    while (in.pos < total) {
        if (frameEnded_) {
            return Fail(QStringLiteral("there are bytes after the end of the compressed frame"));
        }
        const size_t before = out.pos;
        const size_t consumed = in.pos;
        const size_t result = ZSTD_decompressStream(state_->context, &out, &in);
        if (ZSTD_isError(result)) {
            return Fail(QStringLiteral("the compressed data cannot be decoded: %1")
                            .arg(ZSTD_getErrorName(result)));
        }
        if (result == 0) frameEnded_ = true;
        const qint64 produced = static_cast<qint64>(out.pos - before);
        state_->pos = static_cast<qint64>(out.pos);
        // zstd's streaming decoder, given a frame in small pieces, lets it end short of the size
        // it declares; the rest of the file would be the zeros it was reserved with.
        if (frameEnded_ && state_->pos != state_->size) {
            return Fail(QStringLiteral("the compressed frame declares %1 bytes but holds %2")
                            .arg(state_->size)
                            .arg(state_->pos));
        }
        if (produced > 0 && observer_ &&
            observer_->write(state_->map + before, produced) != produced) {
            return Fail(observer_->errorString());
        }
        if (state_->pos - state_->released >= kReleaseStep) ReleasePages();
        // zstd stops short only when it cannot go on: the output is full, the frame lied.
        if (!frameEnded_ && produced == 0 && in.pos == consumed) {
            return Fail(QStringLiteral("the frame holds more content than it declares"));
        }
    }
    return true;
}

void ZstdFileDecoder::ReleasePages() {
    const qint64 page = ::sysconf(_SC_PAGESIZE);
    const qint64 end = state_->pos / page * page;
    if (end > state_->released && state_->release) {
        // Written back without waiting, then unmapped from this process, both off this
        // thread: the data stays in the system's cache and on its way to disk.
        state_->writeback.HandUpTo(end);
        state_->release->ReleaseUpTo(end);
        state_->released = end;
        // A release that falls behind (its thread gets less of the cores) would leave ever
        // more pages resident: decoding, on a thread of its own, waits for it instead.
        state_->release->WaitForRelease(end - kMaxReleaseLag);
    }
}

bool ZstdFileDecoder::Fail(const QString& why) {
    {
        const std::lock_guard lock(mutex_);
        if (!failed_) failure_ = why;
        failed_ = true;
    }
    changed_.notify_all();
    return false;
}

} // namespace vex::compression
