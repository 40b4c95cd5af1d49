#include "platform/compression/ZstdFileDecoder.h"

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

// How much content is decoded between two releases of pages: the resident part of the file
// and of the prefix stays about this large.
constexpr qint64 kReleaseStep = 2 * 1024 * 1024;
// zstd is given the input in pieces this small, so that no single call decodes much more than
// kReleaseStep: a few bytes of a patch can stand for a long stretch of the old file.
constexpr size_t kInputPiece = 512;

QString SystemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

struct ZstdFileDecoder::State {
    ZSTD_DCtx* context = ZSTD_createDCtx();
    char* map = nullptr;
    qint64 size = 0;
    qint64 pos = 0;      // content decoded so far
    qint64 released = 0; // content whose pages were let go
    char empty = 0;      // the output of an empty content, at one address throughout

    ~State() {
        if (map) ::munmap(map, static_cast<size_t>(size));
        ZSTD_freeDCtx(context);
    }
};

ZstdFileDecoder::ZstdFileDecoder(int outputFd, QIODevice* observer, QByteArrayView prefix,
                                 const DecodeLimits& limits)
    : outputFd_(outputFd), observer_(observer), prefix_(prefix), state_(std::make_unique<State>()),
      header_(limits) {
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    ZSTD_DCtx* context = state_->context;
    if (!context) {
        Fail(QStringLiteral("zstd could not make a decompression context"));
        return;
    }
    size_t result = ZSTD_DCtx_setParameter(context, ZSTD_d_windowLogMax, limits.maxWindowLog);
    if (!ZSTD_isError(result)) result = ZSTD_DCtx_setParameter(context, ZSTD_d_stableOutBuffer, 1);
    if (!ZSTD_isError(result) && !prefix.isEmpty()) {
        result = ZSTD_DCtx_refPrefix(context, prefix.data(), static_cast<size_t>(prefix.size()));
    }
    if (ZSTD_isError(result)) {
        Fail(QStringLiteral("zstd refused a setting: %1").arg(ZSTD_getErrorName(result)));
    }
}

ZstdFileDecoder::~ZstdFileDecoder() = default;

bool ZstdFileDecoder::Finish() {
    if (failed_) return false;
    if (header_.state() == FrameHeaderGate::State::Collecting) {
        return Fail(QStringLiteral("the compressed data ends before its frame does"));
    }
    if (!frameEnded_) return Fail(QStringLiteral("the compressed data ends before its frame does"));
    // Every page goes back to the file before the caller syncs and renames it.
    if (state_->map) {
        ::munmap(state_->map, static_cast<size_t>(state_->size));
        state_->map = nullptr;
    }
    return true;
}

qint64 ZstdFileDecoder::readData(char*, qint64) {
    return -1;
}

qint64 ZstdFileDecoder::writeData(const char* data, qint64 size) {
    if (failed_) return -1;
    const qint64 taken = size;
    if (header_.state() == FrameHeaderGate::State::Collecting) {
        switch (header_.Take(data, size)) {
        case FrameHeaderGate::State::Collecting:
            return taken;
        case FrameHeaderGate::State::Refused:
            Fail(header_.Why());
            return -1;
        case FrameHeaderGate::State::Passed: {
            if (header_.ContentSize() < 0) {
                Fail(QStringLiteral("the frame does not declare its content size"));
                return -1;
            }
            if (!MapOutput(header_.ContentSize())) return -1;
            const QByteArray header = header_.TakeCollected();
            if (!Decode(header.constData(), header.size())) return -1;
            break;
        }
        }
    }
    return Decode(data, size) ? taken : -1;
}

bool ZstdFileDecoder::MapOutput(qint64 size) {
    state_->size = size;
    if (size == 0) return true;
    // Reserved first: a write to a mapped page that the disk cannot take would kill the
    // program instead of failing.
    if (const int error = ::posix_fallocate(outputFd_, 0, size); error != 0) {
        return Fail(SystemError(error));
    }
    void* map = ::mmap(nullptr, static_cast<size_t>(size), PROT_READ | PROT_WRITE, MAP_SHARED,
                       outputFd_, 0);
    if (map == MAP_FAILED) return Fail(SystemError(errno));
    state_->map = static_cast<char*>(map);
    return true;
}

bool ZstdFileDecoder::Decode(const char* data, qint64 size) {
    const size_t total = static_cast<size_t>(size);
    ZSTD_inBuffer in{data, qMin(total, kInputPiece), 0};
    // Empty content: nothing to map, zstd still reads the frame to its end.
    ZSTD_outBuffer out{state_->map ? state_->map : &state_->empty,
                       static_cast<size_t>(state_->size), static_cast<size_t>(state_->pos)};
    while (in.pos < total) {
        if (in.pos == in.size) in.size = qMin(total, in.size + kInputPiece);
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
    if (end > state_->released) {
        // Written back without waiting, then unmapped from this process: the data stays in
        // the system's cache and on its way to disk.
        ::sync_file_range(outputFd_, state_->released, end - state_->released,
                          SYNC_FILE_RANGE_WRITE);
        ::madvise(state_->map, static_cast<size_t>(end), MADV_DONTNEED);
        state_->released = end;
    }
    const auto start = reinterpret_cast<quintptr>(prefix_.data());
    if (!prefix_.isEmpty() && start % page == 0) {
        ::madvise(const_cast<char*>(prefix_.data()), static_cast<size_t>(prefix_.size()),
                  MADV_DONTNEED);
    }
}

bool ZstdFileDecoder::Fail(const QString& why) {
    if (!failed_) setErrorString(why);
    failed_ = true;
    return false;
}

} // namespace vex::compression
