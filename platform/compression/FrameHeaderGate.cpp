#include "platform/compression/FrameHeaderGate.h"

// The frame header reader is part of zstd's advanced interface.
#define ZSTD_STATIC_LINKING_ONLY
#include <zstd.h>

#include <climits>

namespace vex::compression {

FrameHeaderGate::State FrameHeaderGate::Take(const char*& data, qint64& size) {
    if (state_ != State::Collecting) return state_;
    const qint64 wanted = qMin<qint64>(size, ZSTD_FRAMEHEADERSIZE_MAX - collected_.size());
    collected_.append(data, wanted);
    data += wanted;
    size -= wanted;
    ZSTD_frameHeader frame{};
    const size_t result = ZSTD_getFrameHeader(&frame, collected_.constData(), collected_.size());
    if (ZSTD_isError(result)) {
        return Refuse(QString::fromLatin1(ZSTD_getErrorName(result)));
    }
    if (result > 0) return state_; // more bytes are needed
    if (frame.frameType != ZSTD_frame) {
        return Refuse(QStringLiteral("it is not a zstd frame"));
    }
    if (frame.windowSize > (1ULL << limits_.maxWindowLog)) {
        return Refuse(QStringLiteral("the frame asks for a window of %1 bytes, more than the %2 "
                                     "allowed")
                          .arg(frame.windowSize)
                          .arg(1ULL << limits_.maxWindowLog));
    }
    if (frame.frameContentSize != ZSTD_CONTENTSIZE_UNKNOWN) {
        contentSize_ = static_cast<qint64>(qMin<unsigned long long>(
            frame.frameContentSize, static_cast<unsigned long long>(LLONG_MAX)));
    }
    if (limits_.maxContentSize >= 0 && contentSize_ > limits_.maxContentSize) {
        return Refuse(QStringLiteral("the frame declares %1 bytes of content, more than the %2 "
                                     "allowed")
                          .arg(frame.frameContentSize)
                          .arg(limits_.maxContentSize));
    }
    if (limits_.requireChecksum && !frame.checksumFlag) {
        return Refuse(QStringLiteral("the frame has no content checksum, so its content could "
                                     "not be checked"));
    }
    state_ = State::Passed;
    return state_;
}

FrameHeaderGate::State FrameHeaderGate::Refuse(const QString& why) {
    why_ = QStringLiteral("the compressed data cannot be decoded: %1").arg(why);
    state_ = State::Refused;
    return state_;
}

} // namespace vex::compression
