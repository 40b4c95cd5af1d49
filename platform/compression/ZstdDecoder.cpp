#include "platform/compression/ZstdDecoder.h"

#include <zstd.h>

#include <algorithm>
#include <limits>
#include <vector>

namespace vex::compression {

struct ZstdDecoder::State {
    ZSTD_DCtx* context = ZSTD_createDCtx();
    std::vector<char> out = std::vector<char>(ZSTD_DStreamOutSize());
    // The frame's first bytes until its header can be read, then the size it declares (-1 when
    // it declares none). zstd's streaming decoder, given a frame in small pieces, lets a frame
    // end short of its declared size; the count of bytes put out catches that.
    QByteArray header;
    bool headerRead = false;
    qint64 declared = -1;
    qint64 produced = 0;

    ~State() { ZSTD_freeDCtx(context); }
};

ZstdDecoder::ZstdDecoder(QIODevice& target, QByteArrayView prefix, int maxWindowLog)
    : target_(target), state_(std::make_unique<State>()) {
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
    if (!frameEnded_) return Fail(QStringLiteral("the compressed data ends before its frame does"));
    return true;
}

qint64 ZstdDecoder::readData(char*, qint64) {
    return -1;
}

void ZstdDecoder::ReadHeader(const char* data, qint64 size, bool frameEnded) {
    State& state = *state_;
    constexpr qsizetype kLongestHeader = 18;
    state.header.append(data, std::min<qint64>(size, kLongestHeader - state.header.size()));
    if (state.header.size() < kLongestHeader && !frameEnded) return;
    state.headerRead = true;
    // A header that cannot be read is the decoder's to refuse; it says why.
    const unsigned long long declared = ZSTD_getFrameContentSize(
        state.header.constData(), static_cast<size_t>(state.header.size()));
    if (declared != ZSTD_CONTENTSIZE_UNKNOWN && declared != ZSTD_CONTENTSIZE_ERROR &&
        declared <= static_cast<unsigned long long>(std::numeric_limits<qint64>::max()))
        state.declared = static_cast<qint64>(declared);
}

qint64 ZstdDecoder::writeData(const char* data, qint64 size) {
    if (failed_) return -1;
    if (!state_->headerRead) ReadHeader(data, size, false);
    ZSTD_inBuffer in{data, static_cast<size_t>(size), 0};
    // The output buffer may fill before the input is used up, and a frame's last block may
    // still be held after it is: zstd runs until it has taken all input and produced no more.
    for (;;) {
        if (frameEnded_ && in.pos < in.size) {
            Fail(QStringLiteral("there are bytes after the end of the compressed frame"));
            return -1;
        }
        ZSTD_outBuffer out{state_->out.data(), state_->out.size(), 0};
        const size_t result = ZSTD_decompressStream(state_->context, &out, &in);
        if (ZSTD_isError(result)) {
            Fail(QStringLiteral("the compressed data cannot be decoded: %1")
                     .arg(ZSTD_getErrorName(result)));
            return -1;
        }
        // A frame shorter than the longest header has all of its header by now.
        if (result == 0 && !state_->headerRead) ReadHeader(nullptr, 0, true);
        const qint64 produced = static_cast<qint64>(out.pos);
        state_->produced += produced;
        const qint64 declared = state_->declared;
        if (declared >= 0 &&
            (state_->produced > declared || (result == 0 && state_->produced != declared))) {
            Fail(QStringLiteral("the compressed frame declares %1 bytes but holds %2")
                     .arg(declared)
                     .arg(state_->produced));
            return -1;
        }
        if (result == 0) frameEnded_ = true;
        if (produced > 0 && target_.write(state_->out.data(), produced) != produced) {
            Fail(target_.errorString());
            return -1;
        }
        if (in.pos == in.size && out.pos < out.size) return size;
    }
}

bool ZstdDecoder::Fail(const QString& why) {
    if (!failed_) setErrorString(why);
    failed_ = true;
    return false;
}

} // namespace vex::compression
