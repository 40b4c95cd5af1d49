#pragma once

#include "platform/compression/FrameHeaderGate.h"

#include "platform/runtime/ThreadedSink.h"

#include <QByteArrayView>
#include <QIODevice>

#include <atomic>
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
// A few bytes of a patch can stand for a long stretch of the old file, and filling fresh pages
// of the file costs the system time of its own, so decoding is not done on the thread the
// decoder belongs to: what is written waits (in a runtime::ThreadedSink), and a thread of the
// decoder's own decodes it, one step of zstd's at a time. Like a socket (and HashingSink), the
// decoder says through bytesToWrite() how much waits and emits bytesWritten() (through the event
// loop of the thread it belongs to) as it catches up; a writer that keeps bytesToWrite() under
// kMaxPending never waits. The observer is written from the decoding thread: nothing else may touch
// it until Finish() or Cancel() has returned. Finish() waits for what still waits to be decoded
// while the event loop turns.
class ZstdFileDecoder : public QIODevice {
  public:
    static constexpr qint64 kMaxPending = vex::runtime::ThreadedSink::kMaxPending;

    // outputFd: an empty file open for reading and writing. The decoder works on a descriptor
    // of its own, so the caller may close its own at any time.
    ZstdFileDecoder(int outputFd, QIODevice* observer, QByteArrayView prefix,
                    const DecodeLimits& limits);
    // Stops decoding first (Cancel()).
    ~ZstdFileDecoder() override;

    ZstdFileDecoder(const ZstdFileDecoder&) = delete;
    ZstdFileDecoder& operator=(const ZstdFileDecoder&) = delete;

    // True when the whole frame arrived and decoded into the file; false (with errorString())
    // otherwise. Waits for the decoding thread while the event loop turns (timers tick,
    // windows repaint); without an event loop on this thread, it simply waits.
    bool Finish();
    // Stops decoding after the step under way, dropping what waits; later writes fail. The file
    // is left as it is, to be thrown away.
    void Cancel();

    bool HasFailed();
    bool isSequential() const override { return true; }
    qint64 bytesToWrite() const override { return input_.bytesToWrite(); }

  protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

  private:
    struct State;

    // On the decoding thread: the bytes of one piece of input, one step of zstd's at a time.
    bool DecodeSteps(const char* data, qint64 size, QString& why);
    // Records the first failure of the decoding (or of the setup, before any byte).
    bool Fail(const QString& why);
    // How many of the waiting bytes go to zstd next.
    qint64 NextPiece();
    bool DecodeInput(const char* data, qint64 size);
    bool MapOutput(qint64 size);
    bool Decode(const char* data, qint64 size);
    bool EndFrame();
    // Lets go of the pages decoded so far, and of the prefix's.
    void ReleasePages();

    QIODevice* observer_;
    QByteArrayView prefix_;
    // The decoding thread's alone while it runs.
    std::unique_ptr<State> state_;
    FrameHeaderGate header_;
    bool frameEnded_ = false;
    qint64 stepLeft_ = 0; // input zstd still needs to end its current step; 0: ask it
    QString failure_;     // the first failure; the decoding thread's while it runs
    bool setupFailed_ = false;
    bool finishing_ = false;              // Finish() was called: writes fail
    bool ended_ = false;                  // Finish() is over: failure_ is the owner's
    std::atomic<bool> cancelled_ = false; // heard between two steps
    // Last: its thread, which decodes, ends before the rest goes.
    vex::runtime::ThreadedSink input_;
};

} // namespace vex::compression
