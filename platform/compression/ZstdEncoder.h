#pragma once

#include "platform/compression/ZstdSettings.h"

#include <QIODevice>

#include <memory>

namespace vex::compression {

// A write-only device that compresses what is written to it into one zstd frame on target, as
// the bytes come, so that memory stays bounded by the window whatever the content's size.
// Finish() ends the frame; until then target holds an unfinished frame. The first failure (a
// setting zstd refuses, a content size that does not match, a write that target refuses) stops
// the device: later writes fail and errorString() says what went wrong.
class ZstdEncoder : public QIODevice {
  public:
    ZstdEncoder(QIODevice& target, const ZstdSettings& settings);
    ~ZstdEncoder() override;

    ZstdEncoder(const ZstdEncoder&) = delete;
    ZstdEncoder& operator=(const ZstdEncoder&) = delete;

    // Writes the rest of the frame; false on failure.
    bool Finish();

    bool HasFailed() const { return failed_; }
    bool isSequential() const override { return true; }

  protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

  private:
    struct State;

    // Runs zstd over the input until it has taken it all (or, ending, flushed everything).
    bool Compress(const char* data, qint64 size, bool end);
    bool Fail(const QString& why);

    QIODevice& target_;
    std::unique_ptr<State> state_;
    bool failed_ = false;
    bool finished_ = false;
};

} // namespace vex::compression
