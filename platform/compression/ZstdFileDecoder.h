#pragma once

#include "platform/compression/FrameHeaderGate.h"

#include <QByteArrayView>
#include <QIODevice>
#include <QTimer>

#include <memory>

namespace vex::compression {

// A write-only device that decodes one zstd frame written to it straight into a file, which
// is mapped into memory and given to zstd as its output. zstd then keeps no window of its own:
// matches reach back into the file itself (and into the prefix), so memory stays small however
// large the window of a patch is. The file's pages, and the prefix's when it is a shared mapping
// of a file, are let go as decoding moves on, from a thread beside; the system reads them back
// from its cache should a match reach them again.
//
// The frame must declare its content size: the file is given that size (its blocks reserved,
// so a full disk is a failure here, never a fault on a mapped page) before any byte is decoded.
// Each piece of content produced is also written to `observer` (to hash it, say), when given.
// The limits, the checksum and the first-failure rule are those of ZstdDecoder.
//
// A few bytes of a patch can stand for a long stretch of the old file, so decoding is not done
// inside write(): what is written waits, and is decoded in slices of a few milliseconds from
// the event loop of the thread the decoder belongs to. Like a socket (and HashingSink), the
// decoder says through bytesToWrite() how much waits and emits bytesWritten() as it catches
// up; a writer that keeps bytesToWrite() under kMaxPending never waits. Finish() decodes what
// still waits.
class ZstdFileDecoder : public QIODevice {
  public:
    static constexpr qint64 kMaxPending = 8 * 1024 * 1024;

    // outputFd: an empty file open for reading and writing, which stays open while decoding.
    ZstdFileDecoder(int outputFd, QIODevice* observer, QByteArrayView prefix,
                    const DecodeLimits& limits);
    ~ZstdFileDecoder() override;

    ZstdFileDecoder(const ZstdFileDecoder&) = delete;
    ZstdFileDecoder& operator=(const ZstdFileDecoder&) = delete;

    // True when the whole frame arrived and decoded into the file; false (with errorString())
    // otherwise.
    bool Finish();

    bool HasFailed() const { return failed_; }
    bool isSequential() const override { return true; }
    qint64 bytesToWrite() const override;

  protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

  private:
    struct State;

    bool Fail(const QString& why);
    // Decodes what waits, for at most sliceNs (-1: all of it); reports what was taken.
    void DecodePending(qint64 sliceNs);
    // How many of the waiting bytes go to zstd next.
    qint64 NextPiece();
    bool DecodeInput(const char* data, qint64 size);
    bool MapOutput(qint64 size);
    bool Decode(const char* data, qint64 size);
    // Lets go of the pages decoded so far, and of the prefix's.
    void ReleasePages();

    int outputFd_;
    QIODevice* observer_;
    QByteArrayView prefix_;
    std::unique_ptr<State> state_;
    FrameHeaderGate header_;
    bool failed_ = false;
    bool frameEnded_ = false;
    QByteArray pending_; // written, not yet decoded, from pendingAt_ on
    qsizetype pendingAt_ = 0;
    qint64 stepLeft_ = 0; // input zstd still needs to end its current step; 0: ask it
    QTimer* next_;        // the next slice
};

} // namespace vex::compression
