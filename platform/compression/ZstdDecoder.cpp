#include "platform/compression/ZstdDecoder.h"

#include <zstd.h>

#include <utility>
#include <vector>

namespace vex::compression {

struct ZstdDecoder::State {
    ZSTD_DCtx* context = ZSTD_createDCtx();
    std::vector<char> out = std::vector<char>(ZSTD_DStreamOutSize());

    ~State() { ZSTD_freeDCtx(context); }
};

ZstdDecoder::ZstdDecoder(QIODevice& target, QByteArrayView prefix, int maxWindowLog)
    : ZstdDecoder(target, prefix, DecodeLimits{.maxWindowLog = maxWindowLog}) {}

ZstdDecoder::ZstdDecoder(QIODevice& target, QByteArrayView prefix, const DecodeLimits& limits)
    : target_(target), state_(std::make_unique<State>()), limits_(limits), header_(limits) {
    const int maxWindowLog = limits.maxWindowLog;
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    ZSTD_DCtx* context = state_->context;
    if (!context) {
        Fail(QStringLiteral("zstd could not make a decompression context"));
        return;
    }
    size_t result = ZSTD_DCtx_setParameter(context, ZSTD_d_windowLogMax, maxWindowLog);
    if (!ZSTD_isError(result) && !prefix.isEmpty()) {
        result = ZSTD_DCtx_refPrefix(context, prefix.data(), static_cast<size_t>(prefix.size()));
    }
    if (ZSTD_isError(result)) {
        Fail(QStringLiteral("zstd refused a setting: %1").arg(ZSTD_getErrorName(result)));
    }
}

ZstdDecoder::~ZstdDecoder() = default;

bool ZstdDecoder::Finish() {
    if (failed_) return false;
    if (header_.state() == FrameHeaderGate::State::Collecting) {
        return Fail(QStringLiteral("the compressed data ends before its frame does"));
    }
    if (!frameEnded_) return Fail(QStringLiteral("the compressed data ends before its frame does"));
    return true;
}

qint64 ZstdDecoder::readData(char*, qint64) {
    return -1;
}

qint64 ZstdDecoder::writeData(const char* data, qint64 size) {
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
            // The header's bytes go first, then what followed them in this write.
            const QByteArray header = header_.TakeCollected();
            if (!Decode(header.constData(), header.size())) return -1;
            break;
        }
        }
    }
    return Decode(data, size) ? taken : -1;
}

bool ZstdDecoder::Decode(const char* data, qint64 size) {
    ZSTD_inBuffer in{data, static_cast<size_t>(size), 0};
    // The output buffer may fill before the input is used up, and a frame's last block may
    // still be held after it is: zstd runs until it has taken all input and produced no more.
    for (;;) {
        if (frameEnded_ && in.pos < in.size) {
            return Fail(QStringLiteral("there are bytes after the end of the compressed frame"));
        }
        ZSTD_outBuffer out{state_->out.data(), state_->out.size(), 0};
        const size_t result = ZSTD_decompressStream(state_->context, &out, &in);
        if (ZSTD_isError(result)) {
            return Fail(QStringLiteral("the compressed data cannot be decoded: %1")
                            .arg(ZSTD_getErrorName(result)));
        }
        if (result == 0) frameEnded_ = true;
        const qint64 produced = static_cast<qint64>(out.pos);
        produced_ += produced;
        // zstd's streaming decoder, given a frame in small pieces, lets it end short of the size
        // it declares; the count of bytes put out catches that.
        const qint64 declared = header_.ContentSize();
        if (declared >= 0 && (produced_ > declared || (frameEnded_ && produced_ != declared))) {
            return Fail(QStringLiteral("the compressed frame declares %1 bytes but holds %2")
                            .arg(declared)
                            .arg(produced_));
        }
        if (limits_.maxContentSize >= 0 && produced_ > limits_.maxContentSize) {
            return Fail(QStringLiteral("the content grows past the %1 bytes allowed")
                            .arg(limits_.maxContentSize));
        }
        if (produced > 0 && target_.write(state_->out.data(), produced) != produced) {
            return Fail(target_.errorString());
        }
        if (in.pos == in.size && out.pos < out.size) return true;
    }
}

bool ZstdDecoder::Fail(const QString& why) {
    if (!failed_) setErrorString(why);
    failed_ = true;
    return false;
}

} // namespace vex::compression
