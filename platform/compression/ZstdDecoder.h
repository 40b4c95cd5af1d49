#pragma once

#include "platform/compression/FrameHeaderGate.h"
#include "platform/compression/ZstdSettings.h"

#include <QByteArrayView>
#include <QIODevice>

#include <memory>

namespace vex::compression {

// A write-only device that decodes one zstd frame written to it, as the bytes come, and writes
// the content to target: a compressed download can stream through it to disk. The frame's
// checksum, when it has one, is checked as the frame ends. A frame that asks for a larger
// window than maxWindowLog is refused before any memory is spent on it, and so is anything
// after the end of the frame. The first failure stops the device: later writes fail and
// errorString() says what went wrong.
class ZstdDecoder : public QIODevice {
  public:
    // prefix: the bytes the frame was made against (the old file of a patch), or none. They
    // must stay in place while the frame is decoded.
    explicit ZstdDecoder(QIODevice& target, QByteArrayView prefix = {},
                         int maxWindowLog = DefaultMaxWindowLog());
    ZstdDecoder(QIODevice& target, QByteArrayView prefix, const DecodeLimits& limits);
    ~ZstdDecoder() override;

    ZstdDecoder(const ZstdDecoder&) = delete;
    ZstdDecoder& operator=(const ZstdDecoder&) = delete;

    // True when the whole frame arrived and decoded; false (with errorString()) otherwise.
    bool Finish();

    bool HasFailed() const { return failed_; }
    bool isSequential() const override { return true; }

  protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

  private:
    struct State;

    bool Fail(const QString& why);
    bool Decode(const char* data, qint64 size);

    QIODevice& target_;
    std::unique_ptr<State> state_;
    bool failed_ = false;
    bool frameEnded_ = false;
    DecodeLimits limits_;
    FrameHeaderGate header_;
    qint64 produced_ = 0;
};

} // namespace vex::compression
