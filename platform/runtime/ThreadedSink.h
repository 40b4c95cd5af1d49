#pragma once

#include <QIODevice>
#include <QString>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace vex::runtime {

// A write-only device whose bytes are taken, in order, by a consumer on a thread of its own:
// a hash, or writing to a file, whose first pages can cost the system milliseconds to provide.
// The writer only copies its bytes into one ring of kMaxPending bytes, allocated once, so its
// thread (an event loop's) is never held by that work and memory stays bounded.
//
// Like a socket, the sink tells its writer how far behind the consumer is: bytesToWrite() is
// what waits, and bytesWritten() is emitted (in the thread the sink belongs to, through its
// event loop) as the consumer catches up. A writer that keeps bytesToWrite() under kMaxPending
// less its write never waits; a write that does not fit waits for room.
//
// The first failure of the consumer ends its work: what waits is dropped, later writes fail,
// and Failure() says why. The destructor waits for what waits to be taken.
class ThreadedSink : public QIODevice {
  public:
    static constexpr qint64 kMaxPending = 8 * 1024 * 1024;

    // Takes `size` bytes; on failure returns false with `why` set. Runs on the sink's thread.
    using Consumer = std::function<bool(const char* data, qint64 size, QString& why)>;

    explicit ThreadedSink(Consumer consume);
    // The consumer that writes into `target`, failing with its errorString().
    static Consumer WriteTo(QIODevice& target);
    ~ThreadedSink() override;

    ThreadedSink(const ThreadedSink&) = delete;
    ThreadedSink& operator=(const ThreadedSink&) = delete;

    // Waits until everything written so far has been taken; false when the consumer failed.
    // Callable from any thread, as long as nothing writes meanwhile.
    bool Drain();
    // Drops what waits and ends the consumer's work after the piece under way; later writes
    // fail, with `why` unless the consumer failed first. Returns once the consumer no longer
    // runs.
    void Cancel(const QString& why = QStringLiteral("writing was stopped"));

    bool HasFailed() const;
    // Why the consumer failed, or why the sink was cancelled; empty otherwise.
    QString Failure() const;

    bool isSequential() const override { return true; }
    qint64 bytesToWrite() const override;

  protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

  private:
    void Consume();
    void ReportTaken();

    Consumer consume_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::unique_ptr<char[]> ring_;
    qint64 written_ = 0; // bytes put into the ring so far
    qint64 taken_ = 0;   // bytes taken (or dropped) so far; the ring holds written_ - taken_
    bool stopping_ = false;
    bool cancelled_ = false;
    bool failed_ = false;
    QString failure_;
    bool consumerWaiting_ = false;
    bool writerWaiting_ = false;
    bool reportPosted_ = false; // a ReportTaken() is on its way to the owner's thread
    qint64 reported_ = 0;       // bytes announced through bytesWritten(); owner's thread
    std::thread worker_;
};

} // namespace vex::runtime
