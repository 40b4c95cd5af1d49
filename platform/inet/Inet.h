#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <stdexcept>

class QIODevice;
class QNetworkAccessManager;
class QNetworkReply;

namespace vex::inet {

// Data type for OpenURL: the body as raw bytes.
inline constexpr int icByteArray = 1;

// No limit on the size of a body.
inline constexpr qint64 kNoLimit = -1;

// What tells the end of a body from a connection cut short.
enum class BodyEnd {
    // Whatever ends it: an announced length, the end of chunked coding, or the connection
    // closing. Only the first is checked: Qt takes a chunked body cut by a reset, or retried
    // after a cut, for a whole one, and a body without either ends wherever the connection does.
    Any,
    // Only an announced length, reached exactly. A success answer without a length fails at once.
    AnnouncedLength,
};

// A sink that works behind its writes (hashing them on a thread of its own, say) says what it
// still holds through bytesToWrite(), as a socket does. While it holds this much it is given
// nothing more, until its bytesWritten() says it has caught up; so it must take this much plus
// one write of at most kSinkWriteMax bytes without making its writer wait.
inline constexpr qint64 kSinkBacklog = 4 * 1024 * 1024;
inline constexpr qint64 kSinkWriteMax = 64 * 1024;

// A failed fetch. Description() is the text the user reads. Abandoned() is true when the fetch
// was cut off on purpose because the program is ending: nothing is shown to the user then.
class InetError : public std::runtime_error {
  public:
    // Range: the answer to a request for the rest of a body was not that rest (see Resume).
    enum class Kind { Transfer, Http, Timeout, TooLarge, Write, Abandoned, Range };

    InetError(Kind kind, const QString& description, int httpStatus = 0)
        : std::runtime_error(description.toStdString()), kind_(kind), description_(description),
          httpStatus_(httpStatus) {}

    Kind kind() const { return kind_; }
    // The status of an HTTP error answer (Kind::Http), e.g. 404; 0 otherwise.
    int HttpStatus() const { return httpStatus_; }
    const QString& Description() const { return description_; }
    bool Abandoned() const { return kind_ == Kind::Abandoned; }

  private:
    Kind kind_;
    QString description_;
    int httpStatus_ = 0;
};

// What identifies the body a server answered with, so a later request can ask for the rest of
// that body and no other: a strong ETag, else Last-Modified (empty when the answer had none).
struct Validators {
    QByteArray strongEtag;
    QByteArray lastModified;

    // The value for If-Range: the ETag if there is one, else the date; empty: none usable.
    QByteArray IfRange() const { return strongEtag.isEmpty() ? lastModified : strongEtag; }
};

// The success answer to a fetch, known before any byte of its body reaches the sink.
struct Answer {
    qint64 totalLength = -1; // of the whole resource; -1: not announced
    qint64 offset = 0;       // where the body starts in it: 0, or Resume::offset when resumed
    Validators validators;
};

// Asks for the rest of a body whose first `offset` bytes are already held, sending "Range" and
// "If-Range: ifRange" (both required). A 206 whose single Content-Range is exactly
// "bytes offset-(total-1)/total", with a length that agrees, is the rest (Answer::offset is
// offset). A 200 (the resource changed, or the server ignores ranges) is the whole body
// (Answer::offset is 0): the sink must start again from zero when it is told so. Anything else
// (another range, a multipart answer) fails with Kind::Range before any byte reaches the sink,
// and the caller starts again from zero with a request of its own.
struct Resume {
    qint64 offset = 0;
    QByteArray ifRange;
};

// The transfer component. OpenURL blocks its caller in a nested event loop, so timers tick and
// windows repaint while a fetch runs; the body goes to its sink as it arrives and is never held
// whole in memory. One fetch at a time.
class Inet : public QObject {
    Q_OBJECT
  public:
    struct Timeouts {
        int connectMs = 30'000; // no answer from the server at all
        int stallMs = 60'000;   // no byte received once the answer has begun
    };

    explicit Inet(QObject* parent = nullptr);
    ~Inet() override;

    // True while a fetch started through this instance has not yet finished, and while its
    // caller still works on what a fetch is for (see Busy).
    bool StillExecuting() const { return reply_ != nullptr || busy_ > 0; }

    // While one lives, the instance counts as executing though no transfer runs: its caller
    // is still finishing a fetch's file (syncing it to disk, renaming it) or preparing the next
    // (hashing the base of a patch), with the event loop turning. A status line that follows
    // StillExecuting() then keeps showing the transfer's status, and nothing can take the
    // instance for idle meanwhile. Fetches may still be started through it.
    class Busy {
      public:
        explicit Busy(Inet& inet) : inet_(inet) { ++inet_.busy_; }
        ~Busy() { --inet_.busy_; }
        Busy(const Busy&) = delete;
        Busy& operator=(const Busy&) = delete;

      private:
        Inet& inet_;
    };

    // Fetches url and writes its body into sink as it arrives (dataType must be icByteArray).
    // The body is asked for and taken only as it is stored ("Accept-Encoding: identity"): an
    // answer in any content coding is refused, so every limit counts the bytes that reach the
    // sink and a small compressed answer can never inflate into a huge one.
    // Returns when the transfer has ended and the sink has taken every byte: a sink that works
    // behind its writes and says so through bytesToWrite() and bytesWritten(), as a socket
    // does, is fed only while it keeps up and waited for with the loop turning, never blocked
    // on. Throws InetError on any failure: connection, HTTP error status (4xx, 5xx), a body cut
    // short, a time-out, a body over maxBytes, a body whose end cannot be told as `end` demands,
    // a write error of the sink, or Abandon(). The sink may hold part of the body after a failure.
    //
    // With resume, maxBytes bounds the whole resource (what is held plus the rest). onAnswer, if
    // given, is called once with the success answer before any byte of its body is written.
    void OpenURL(const QString& url, int dataType, QIODevice& sink, qint64 maxBytes = kNoLimit,
                 BodyEnd end = BodyEnd::Any, const Resume* resume = nullptr,
                 const std::function<void(const Answer&)>& onAnswer = {});

    // The same, returning the whole body; for small resources.
    QByteArray OpenURL(const QString& url, int dataType, qint64 maxBytes = kNoLimit);

    // Cuts off the fetch under way (if any): OpenURL throws an abandoned InetError. Later
    // fetches through this instance fail at once the same way, since the program is ending.
    void Abandon();

    void SetTimeouts(Timeouts timeouts) { timeouts_ = timeouts; }
    Timeouts timeouts() const { return timeouts_; }

  signals:
    // Emitted after each piece of the body has been written to the sink; for progress displays
    // and tests.
    void BytesWritten(qint64 total);

  private:
    QNetworkAccessManager* manager_;
    QNetworkReply* reply_ = nullptr;
    int busy_ = 0; // Busy objects alive
    Timeouts timeouts_;
    bool abandoned_ = false;
};

} // namespace vex::inet
