#include "platform/compression/ZstdEncoder.h"

#include <zstd.h>

#include <vector>

namespace vex::compression {

struct ZstdEncoder::State {
    ZSTD_CCtx* context = ZSTD_createCCtx();
    std::vector<char> out = std::vector<char>(ZSTD_CStreamOutSize());

    ~State() { ZSTD_freeCCtx(context); }
};

namespace {

// The first error among the results of setting up a context, or 0.
size_t FirstError(std::initializer_list<size_t> results) {
    for (const size_t result : results) {
        if (ZSTD_isError(result)) return result;
    }
    return 0;
}

} // namespace

ZstdEncoder::ZstdEncoder(QIODevice& target, const ZstdSettings& settings)
    : target_(target), state_(std::make_unique<State>()) {
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    ZSTD_CCtx* context = state_->context;
    if (!context) {
        Fail(QStringLiteral("zstd could not make a compression context"));
        return;
    }
    const size_t error = FirstError({
        ZSTD_CCtx_setParameter(context, ZSTD_c_compressionLevel, settings.level),
        ZSTD_CCtx_setParameter(context, ZSTD_c_windowLog, settings.windowLog),
        ZSTD_CCtx_setParameter(context, ZSTD_c_enableLongDistanceMatching,
                               settings.longDistanceMatching ? 1 : 0),
        ZSTD_CCtx_setParameter(context, ZSTD_c_checksumFlag, settings.checksum ? 1 : 0),
        settings.onWorkerThread ? ZSTD_CCtx_setParameter(context, ZSTD_c_nbWorkers, 1) : 0,
        settings.contentSize >= 0
            ? ZSTD_CCtx_setPledgedSrcSize(context,
                                          static_cast<unsigned long long>(settings.contentSize))
            : 0,
        // The prefix counts for this one frame only, as raw bytes (never read as a dictionary).
        settings.prefix.isEmpty()
            ? 0
            : ZSTD_CCtx_refPrefix(context, settings.prefix.data(),
                                  static_cast<size_t>(settings.prefix.size())),
    });
    if (error) Fail(QStringLiteral("zstd refused a setting: %1").arg(ZSTD_getErrorName(error)));
}

ZstdEncoder::~ZstdEncoder() = default;

bool ZstdEncoder::Finish() {
    if (failed_ || finished_) return !failed_;
    if (!Compress(nullptr, 0, true)) return false;
    finished_ = true;
    return true;
}

qint64 ZstdEncoder::readData(char*, qint64) {
    return -1;
}

qint64 ZstdEncoder::writeData(const char* data, qint64 size) {
    if (failed_) return -1;
    if (finished_) {
        Fail(QStringLiteral("bytes were written after the end of the frame"));
        return -1;
    }
    return Compress(data, size, false) ? size : -1;
}

bool ZstdEncoder::Compress(const char* data, qint64 size, bool end) {
    ZSTD_inBuffer in{data, static_cast<size_t>(size), 0};
    for (;;) {
        ZSTD_outBuffer out{state_->out.data(), state_->out.size(), 0};
        const size_t left =
            ZSTD_compressStream2(state_->context, &out, &in, end ? ZSTD_e_end : ZSTD_e_continue);
        if (ZSTD_isError(left)) {
            return Fail(QStringLiteral("zstd could not compress: %1").arg(ZSTD_getErrorName(left)));
        }
        const qint64 produced = static_cast<qint64>(out.pos);
        if (produced > 0 && target_.write(state_->out.data(), produced) != produced) {
            return Fail(target_.errorString());
        }
        // Ending, zstd says how much it still holds; otherwise it wants only more input.
        if (end ? left == 0 : in.pos == in.size) return true;
    }
}

bool ZstdEncoder::Fail(const QString& why) {
    if (!failed_) setErrorString(why);
    failed_ = true;
    return false;
}

} // namespace vex::compression
