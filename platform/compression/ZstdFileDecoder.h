#pragma once

#include "platform/compression/FrameHeaderGate.h"

#include <QByteArrayView>
#include <QEventLoop>
#include <QIODevice>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

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
// decoder belongs to: what is written waits, and a thread of the decoder's own decodes it, one
// step of zstd's at a time. Like a socket (and HashingSink), the decoder says through
// bytesToWrite() how much waits and emits bytesWritten() (through the event loop of the thread
// it belongs to) as it catches up; a writer that keeps bytesToWrite() under kMaxPending never
// waits. The observer is written from the decoding thread: nothing else may touch it until
// Finish() or Cancel() has returned. Finish() waits for what still waits to be decoded while
// the event loop turns.
class ZstdFileDecoder : public QIODevice {
  public:
    static constexpr qint64 kMaxPending = 8 * 1024 * 1024;

    // outputFd: an empty file open for reading and writing. The decoder works on a descriptor
    // of its own, so the caller may close its own at any time.
    ZstdFileDecoder(int outputFd, QIODevice* observer, QByteArrayView prefix,
                    const DecodeLimits& limits);
    // Stops decoding first (Cancel()).
    ~ZstdFileDecoder() override;

    ZstdFileDecoder(const ZstdFileDecoder&) = delete;
    ZstdFileDecoder& operator=(const ZstdFileDecoder&) = delete;

    // True when the whole frame arrived and decoded into the file; false (with errorString())
    // otherwise. Waits for the decoding thread while a nested event loop turns (timers tick,
    // windows repaint); without an event loop on this thread, it simply waits.
    bool Finish();
    // Stops decoding after the step under way, dropping what waits; later writes fail. The file
    // is left as it is, to be thrown away.
    void Cancel();

    bool HasFailed();
    bool isSequential() const override { return true; }
    qint64 bytesToWrite() const override;

  protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

  private:
    struct State;

    // The decoding thread.
    void Run();
    // Records the first failure, from either thread; the owner's errorString() follows it.
    bool Fail(const QString& why);
    // On the owner's thread: errorString() from the first failure, and the progress made.
    void TakeFailure();
    void ReportTaken();
    // How many of the waiting bytes go to zstd next.
    qint64 NextPiece();
    bool DecodeInput(const char* data, qint64 size);
    bool MapOutput(qint64 size);
    bool Decode(const char* data, qint64 size);
    bool EndFrame();
    // Lets go of the pages decoded so far, and of the prefix's.
    void ReleasePages();
    void Stop();

    QIODevice* observer_;
    QByteArrayView prefix_;
    // The decoding thread's alone while it runs.
    std::unique_ptr<State> state_;
    FrameHeaderGate header_;
    bool frameEnded_ = false;
    qint64 stepLeft_ = 0; // input zstd still needs to end its current step; 0: ask it

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    // Under mutex_:
    QByteArray pending_; // written, not yet taken by the decoding thread, from pendingAt_ on
    qsizetype pendingAt_ = 0;
    qint64 written_ = 0; // bytes accepted so far
    qint64 taken_ = 0;   // bytes decoded (or dropped after a failure) so far
    bool finishing_ = false;
    bool cancelled_ = false;
    bool done_ = false; // the decoding thread has nothing more to do
    bool reportPosted_ = false;
    QString failure_;
    std::atomic<bool> failed_ = false;
    // The owner's:
    qint64 reported_ = 0;
    bool failureTaken_ = false;
    QEventLoop* finishLoop_ = nullptr;
    std::thread worker_;
};

} // namespace vex::compression
