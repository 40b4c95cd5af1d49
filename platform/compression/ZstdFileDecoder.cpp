#include "platform/compression/ZstdFileDecoder.h"

#include "platform/runtime/BackgroundPageRelease.h"
#include "platform/runtime/BackgroundRemoval.h"
#include "platform/runtime/BackgroundWriteback.h"
#include "platform/runtime/OffThread.h"

// A stable output buffer is part of zstd's advanced interface.
#define ZSTD_STATIC_LINKING_ONLY
#include <zstd.h>

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

const QString kStopped = QStringLiteral("decoding was stopped");

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
      header_(limits), input_([this](const char* data, qint64 size, QString& why) {
          return DecodeSteps(data, size, why);
      }) {
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    connect(&input_, &QIODevice::bytesWritten, this, &QIODevice::bytesWritten);
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
    setupFailed_ = !failure_.isEmpty();
    if (setupFailed_) setErrorString(failure_);
}

ZstdFileDecoder::~ZstdFileDecoder() {
    // The decoding thread ends before the members and the QObject go.
    Cancel();
}

bool ZstdFileDecoder::Finish() {
    if (!finishing_) {
        finishing_ = true;
        // What waits is decoded, and the file's pages handed back, beside the loop.
        if (!setupFailed_) {
            vex::runtime::CallOffThread([this] { return input_.Drain() && EndFrame() ? 0 : 1; });
        }
        ended_ = true;
    }
    return !HasFailed();
}

void ZstdFileDecoder::Cancel() {
    cancelled_ = true;
    input_.Cancel(kStopped);
}

bool ZstdFileDecoder::HasFailed() {
    // The decoding thread's failure comes first: nothing else runs before or beside it.
    if (input_.HasFailed()) {
        setErrorString(input_.Failure());
        return true;
    }
    // failure_ is the decoding thread's until Finish() is over, but for the setup's.
    if ((setupFailed_ || ended_) && !failure_.isEmpty()) {
        setErrorString(failure_);
        return true;
    }
    return false;
}

qint64 ZstdFileDecoder::readData(char*, qint64) {
    return -1;
}

qint64 ZstdFileDecoder::writeData(const char* data, qint64 size) {
    if (finishing_ || HasFailed()) return -1;
    if (input_.write(data, size) != size) {
        HasFailed();
        return -1;
    }
    return size;
}

bool ZstdFileDecoder::DecodeSteps(const char* data, qint64 size, QString& why) {
    for (qint64 at = 0; at < size;) {
        // One step of zstd's at a time, so that a cancel is heard between two.
        if (cancelled_) {
            why = kStopped;
            return false;
        }
        const qint64 n = qMin<qint64>(NextPiece(), size - at);
        const bool ok = DecodeInput(data + at, n);
        if (header_.state() == FrameHeaderGate::State::Passed) stepLeft_ -= n;
        at += n;
        if (!ok) {
            why = failure_;
            return false;
        }
    }
    return true;
}

bool ZstdFileDecoder::EndFrame() {
    if (!frameEnded_) return Fail(QStringLiteral("the compressed data ends before its frame does"));
    // Every page goes back to the file before the caller syncs and renames it.
    state_->writeback.Stop();
    state_->Unmap();
    return true;
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
    // Space held by files on their way out comes back once they are gone (one may have gone
    // between the refusal and the wait).
    if (error == ENOSPC || error == EDQUOT) {
        vex::runtime::WaitForBackgroundRemovals();
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
    if (failure_.isEmpty()) failure_ = why;
    return false;
}

} // namespace vex::compression
