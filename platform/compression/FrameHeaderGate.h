#pragma once

#include "platform/compression/ZstdSettings.h"

#include <QByteArray>
#include <QString>

#include <utility>

namespace vex::compression {

// What a frame from an untrusted source may ask of its decoder. Each bound is checked against
// the frame's header before zstd sees it, so a frame that breaks one costs no memory.
struct DecodeLimits {
    int maxWindowLog = DefaultMaxWindowLog();
    // Largest content accepted (-1: any): a frame that declares more is refused at its header,
    // and one that produces more is stopped as it does.
    qint64 maxContentSize = -1;
    // Refuse a frame without a content checksum: nothing else would tell damaged content.
    bool requireChecksum = false;
};

// Holds back the first bytes of a frame until its header is complete and checked against the
// limits; only then may they go to zstd.
class FrameHeaderGate {
  public:
    enum class State { Collecting, Passed, Refused };

    explicit FrameHeaderGate(const DecodeLimits& limits) : limits_(limits) {}

    // Takes bytes from the front of data (advancing it) while the header is incomplete.
    State Take(const char*& data, qint64& size);

    State state() const { return state_; }
    // The bytes held back, to be decoded first once the header has passed.
    QByteArray TakeCollected() { return std::exchange(collected_, {}); }
    // Why the header was refused.
    const QString& Why() const { return why_; }
    // The content size the header declares; -1 when it declares none.
    qint64 ContentSize() const { return contentSize_; }

  private:
    State Refuse(const QString& why);

    DecodeLimits limits_;
    QByteArray collected_;
    State state_ = State::Collecting;
    QString why_;
    qint64 contentSize_ = -1;
};

} // namespace vex::compression
