#include "platform/inet/Inet.h"

#include "platform/runtime/program.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslError>
#include <QStringList>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <optional>

namespace vex::inet {

namespace {

// Qt would otherwise buffer as much of a fast download as it can get, hundreds of MiB, and
// starve the event loop while doing so; with a bounded buffer the body streams at disk speed.
constexpr qint64 kReadBufferSize = 1024 * 1024;
constexpr int kMaxRedirects = 10;
// The body is written in slices: after this long the loop gets control back (timers tick, the
// window repaints) and the rest follows from the next turn of the loop, however slowly the disk
// takes a new file's first blocks.
constexpr qint64 kSliceNs = 3'000'000;
constexpr qint64 kChunkSize = kSinkWriteMax;

QString Seconds(int ms) {
    const int s = (ms + 999) / 1000;
    return s == 1 ? QStringLiteral("1 second") : QStringLiteral("%1 seconds").arg(s);
}

// One fetch in progress: feeds the body to the sink and records the first failure.
class Transfer {
  public:
    Transfer(QNetworkReply& reply, QIODevice& sink, qint64 maxBytes, BodyEnd end,
             Inet::Timeouts timeouts, const QUrl& url, std::function<void(qint64)> onWritten,
             const Resume* resume, const std::function<void(const Answer&)>& onAnswer)
        : reply_(reply), sink_(sink), maxBytes_(maxBytes), end_(end), timeouts_(timeouts),
          url_(url), onWritten_(std::move(onWritten)), resume_(resume), onAnswer_(onAnswer) {}

    void Start(QEventLoop& loop) {
        loop_ = &loop;
        timer_.setSingleShot(true);
        QObject::connect(&timer_, &QTimer::timeout, &reply_, [this] { OnTimeout(); });
        more_.setSingleShot(true);
        QObject::connect(&more_, &QTimer::timeout, &reply_, [this] { WriteSlice(); });
        // The sink outlives the reply's connections; this one goes with the transfer.
        QObject::connect(&sink_, &QIODevice::bytesWritten, &more_, [this] { OnSinkProgress(); });
        QObject::connect(&reply_, &QNetworkReply::metaDataChanged, &reply_,
                         [this] { OnMetaData(); });
        // Slices are written only from the timer, one per turn of the loop: a readyRead
        // delivered in the same turn as a slice would otherwise start another at once.
        QObject::connect(&reply_, &QNetworkReply::readyRead, &reply_, [this] {
            if (failure_) return;
            Answered();
            if (!more_.isActive()) more_.start(0);
        });
        QObject::connect(&reply_, &QNetworkReply::redirected, &reply_, [this] {
            answered_ = true;
            Progressed();
        });
        QObject::connect(&reply_, &QNetworkReply::sslErrors, &reply_,
                         [this](const QList<QSslError>& errors) {
                             for (const QSslError& e : errors) {
                                 if (!sslErrors_.contains(e.errorString()))
                                     sslErrors_ << e.errorString();
                             }
                         });
        QObject::connect(&reply_, &QNetworkReply::finished, &reply_, [this] {
            finished_ = true;
            QuitWhenDone();
        });
        timer_.start(timeouts_.connectMs);
    }

    void OnFinished() {
        timer_.stop();
        more_.stop();
        if (failure_) return;
        // Refusals of the secure channel say so; Qt's own texts name neither the server nor,
        // for a redirect, the insecure target (whose small body would read as a cut one).
        if (reply_.error() == QNetworkReply::InsecureRedirectError) {
            const QUrl target = reply_.header(QNetworkRequest::LocationHeader).toUrl();
            Fail(InetError::Kind::Transfer,
                 QStringLiteral("%1 redirected to %2; a redirect from https to http is refused")
                     .arg(url_.host(), url_.resolved(target).toDisplayString()));
            return;
        }
        if (reply_.error() == QNetworkReply::SslHandshakeFailedError) {
            Fail(InetError::Kind::Transfer,
                 sslErrors_.isEmpty()
                     ? QStringLiteral("The secure connection to %1 failed: %2")
                           .arg(url_.host(), reply_.errorString())
                     : QStringLiteral("The certificate of %1 is not trusted: %2")
                           .arg(url_.host(), sslErrors_.join(QStringLiteral("; "))));
            return;
        }
        OnMetaData();
        if (failure_) return;
        WriteAll();
        if (failure_) return;
        // A body cut short is described by what is missing, whatever error the cut produced.
        const std::optional<qint64> length = AnnouncedLength();
        if (length && *length > received_) {
            Fail(InetError::Kind::Transfer,
                 QStringLiteral("The connection to %1 was closed after %2 of %3 bytes")
                     .arg(url_.host())
                     .arg(received_)
                     .arg(*length));
            return;
        }
        if (reply_.error() != QNetworkReply::NoError) {
            Fail(InetError::Kind::Transfer, reply_.errorString());
            return;
        }
        if (length && *length != received_) {
            Fail(InetError::Kind::Transfer,
                 QStringLiteral("The connection to %1 was closed after %2 of %3 bytes")
                     .arg(url_.host())
                     .arg(received_)
                     .arg(*length));
            return;
        }
        if (end_ == BodyEnd::AnnouncedLength && !length) NoLength();
    }

    void Fail(InetError::Kind kind, const QString& description, int httpStatus = 0) {
        if (failure_) return;
        failure_.emplace(kind, description, httpStatus);
        timer_.stop();
        more_.stop();
        // A reply that has already failed is not aborted again (Qt reports a second error as an
        // internal problem); either way the loop ends now, whether or not Qt ever finishes it.
        if (reply_.isRunning() && reply_.error() == QNetworkReply::NoError) reply_.abort();
        if (loop_) loop_->quit();
    }

    const std::optional<InetError>& failure() const { return failure_; }

  private:
    // The server has begun to answer; the stall time-out runs from the first answer on.
    void Answered() {
        if (answered_) return;
        answered_ = true;
        Progressed();
    }

    // Bytes moved on: the stall time-out starts again. Nothing else restarts it, so an answer
    // whose bytes stop coming fails after stallMs however much else happens.
    void Progressed() { timer_.start(timeouts_.stallMs); }

    void OnMetaData() {
        if (failure_) return;
        Answered();
        const int status = reply_.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (status >= 400) {
            const QString reason =
                reply_.attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
            Fail(InetError::Kind::Http,
                 reason.isEmpty() ? QStringLiteral("HTTP %1").arg(status)
                                  : QStringLiteral("HTTP %1 %2").arg(status).arg(reason),
                 status);
            return;
        }
        const QByteArray coding = reply_.rawHeader("Content-Encoding").trimmed().toLower();
        if (!coding.isEmpty() && coding != "identity") {
            Fail(InetError::Kind::Transfer,
                 QStringLiteral("The server %1 sent %2 in the encoding \"%3\", which was not "
                                "asked for")
                     .arg(url_.host(), FileName(), QString::fromLatin1(coding)));
            return;
        }
        if (status < 200 || status >= 300) return; // a redirect's own framing does not matter
        if (!answerTaken_ && !TakeAnswer(status)) return;
        const std::optional<qint64> length = AnnouncedLength();
        if (maxBytes_ >= 0 && length && offset_ + *length > maxBytes_) {
            TooLarge();
            return;
        }
        if (end_ == BodyEnd::AnnouncedLength && !length) NoLength();
    }

    // Checks the success answer once, before any of its body is written: a resumed fetch takes
    // only the exact rest it asked for. Then tells the caller what the answer is.
    bool TakeAnswer(int status) {
        answerTaken_ = true;
        const std::optional<qint64> length = AnnouncedLength();
        Answer answer;
        answer.totalLength = length.value_or(-1);
        const bool asked = resume_ && resume_->offset > 0;
        // A 200 to a range request is the whole body: the caller starts again from zero.
        if (status == 206 || (asked && status != 200)) {
            const std::optional<qint64> total = RestOfBody(status, length);
            if (!total) return false;
            answer.totalLength = *total;
            answer.offset = resume_->offset;
            offset_ = resume_->offset;
        }
        const QByteArray etag = reply_.rawHeader("ETag").trimmed();
        // A weak ETag may stand for other bytes of the same meaning: useless for a range.
        if (etag.startsWith('"') && etag.endsWith('"') && etag.size() >= 2)
            answer.validators.strongEtag = etag;
        answer.validators.lastModified = reply_.rawHeader("Last-Modified").trimmed();
        if (onAnswer_) onAnswer_(answer);
        return true;
    }

    // The whole resource's length when the answer is exactly the rest asked for; otherwise
    // fails with why.
    std::optional<qint64> RestOfBody(int status, std::optional<qint64> length) {
        const auto refuse = [this](const QString& why) {
            Fail(InetError::Kind::Range,
                 QStringLiteral("The server %1 did not send the rest of %2: %3")
                     .arg(url_.host(), FileName(), why));
            return std::optional<qint64>();
        };
        if (!resume_ || resume_->offset <= 0) return refuse(QStringLiteral("no range was asked"));
        if (status != 206)
            return refuse(QStringLiteral("it sent the whole file (HTTP %1)").arg(status));
        const QByteArray type = reply_.rawHeader("Content-Type").trimmed().toLower();
        if (type.startsWith("multipart/")) return refuse(QStringLiteral("a multipart answer"));
        // "bytes FIRST-LAST/TOTAL", a single range that runs from the offset to the end.
        const QByteArray range = reply_.rawHeader("Content-Range").trimmed();
        const QByteArray unit = "bytes ";
        const qsizetype dash = range.indexOf('-');
        const qsizetype slash = range.indexOf('/');
        bool okFirst = false, okLast = false, okTotal = false;
        const qint64 first = range.startsWith(unit)
                                 ? range.mid(unit.size(), dash - unit.size()).toLongLong(&okFirst)
                                 : -1;
        const qint64 last = dash > 0 && slash > dash
                                ? range.mid(dash + 1, slash - dash - 1).toLongLong(&okLast)
                                : -1;
        const qint64 total = slash > 0 ? range.mid(slash + 1).toLongLong(&okTotal) : -1;
        if (!okFirst || !okLast || !okTotal || first != resume_->offset || last != total - 1 ||
            last < first) {
            return refuse(QStringLiteral("it sent the range \"%1\" instead of bytes %2 to the end")
                              .arg(QString::fromLatin1(range))
                              .arg(resume_->offset));
        }
        if (length && *length != total - first) {
            return refuse(QStringLiteral("its length %1 disagrees with the range \"%2\"")
                              .arg(*length)
                              .arg(QString::fromLatin1(range)));
        }
        if (maxBytes_ >= 0 && total > maxBytes_) {
            TooLarge();
            return std::nullopt;
        }
        return total;
    }

    // The last segment of the URL's path: the file the user knows the fetch by.
    QString FileName() const {
        const QString name = url_.fileName();
        return name.isEmpty() ? url_.toDisplayString() : name;
    }

    void NoLength() {
        Fail(InetError::Kind::Transfer,
             QStringLiteral("The server %1 sent %2 without announcing its length, so a "
                            "connection cut short could not be told from its end")
                 .arg(url_.host(), FileName()));
    }

    // The length of the body the answer announced, if it did. Qt's own reading of the header
    // cannot be used: when the headers of a redirect's answer reach this thread late, Qt adds
    // the final answer's headers to them instead of replacing them, and the length of an empty
    // redirect body followed by a 7-byte page reads "0, 7", which Qt takes for 0.
    std::optional<qint64> AnnouncedLength() const {
        // A body in chunked coding carries no length (and any length beside it means nothing).
        if (reply_.rawHeader("Transfer-Encoding").toLower().contains("chunked")) return {};
        const QByteArray raw = reply_.rawHeader("Content-Length");
        if (raw.isEmpty()) return {};
        bool ok = false;
        const qint64 length = raw.mid(raw.lastIndexOf(',') + 1).trimmed().toLongLong(&ok);
        if (!ok || length < 0) return {};
        return length;
    }

    bool SinkIsBehind() const { return sink_.bytesToWrite() >= kSinkBacklog; }

    // The sink caught up with part of what it was given: it may take more, or be done.
    void OnSinkProgress() {
        if (failure_ || !answered_) return;
        Progressed(); // no time-out while the sink makes progress
        if (reply_.isOpen() && reply_.bytesAvailable() > 0 && !SinkIsBehind() &&
            !more_.isActive()) {
            more_.start(0);
        }
        QuitWhenDone();
    }

    // Writes what has arrived for at most one slice; what is left is written on the next turn
    // of the loop, or once a sink that is behind has caught up.
    void WriteSlice() {
        if (failure_ || !reply_.isOpen()) return;
        Answered();
        if (!answerTaken_) OnMetaData(); // no byte of a body before its answer is checked
        if (failure_) return;
        QElapsedTimer spent;
        spent.start();
        bool written = false;
        while (reply_.bytesAvailable() > 0 && !SinkIsBehind()) {
            if (written && spent.nsecsElapsed() >= kSliceNs) {
                more_.start(0);
                break;
            }
            if (!WriteChunk()) break;
            written = true;
        }
        if (!failure_ && written) onWritten_(received_);
        QuitWhenDone();
    }

    // Everything still buffered, once the loop has ended.
    void WriteAll() {
        if (failure_ || !reply_.isOpen()) return;
        Answered();
        if (!answerTaken_) OnMetaData();
        if (failure_) return;
        bool written = false;
        while (WriteChunk())
            written = true;
        if (failure_) return;
        if (written) onWritten_(received_);
    }

    // One chunk from the reply to the sink; false when nothing was read or the transfer failed.
    bool WriteChunk() {
        const qint64 n = reply_.read(buffer_, sizeof buffer_);
        if (n <= 0) return false;
        received_ += n;
        Progressed();
        if (maxBytes_ >= 0 && offset_ + received_ > maxBytes_) {
            TooLarge();
            return false;
        }
        if (sink_.write(buffer_, n) != n) {
            Fail(InetError::Kind::Write, sink_.errorString());
            return false;
        }
        return true;
    }

    // The loop ends once the reply has finished and its body is written and taken in full by
    // the sink (or has failed); a finished reply with body left gets its next slice.
    void QuitWhenDone() {
        if (!loop_) return;
        if (failure_) {
            loop_->quit();
            return;
        }
        if (!finished_) return;
        const bool bodyLeft = reply_.isOpen() && reply_.bytesAvailable() > 0;
        if (failure_ || (!bodyLeft && sink_.bytesToWrite() == 0)) {
            loop_->quit();
        } else if (bodyLeft && !SinkIsBehind() && !more_.isActive()) {
            more_.start(0);
        }
    }

    void OnTimeout() {
        if (answered_) {
            Fail(InetError::Kind::Timeout, QStringLiteral("No data arrived from %1 for %2")
                                               .arg(url_.host(), Seconds(timeouts_.stallMs)));
        } else {
            Fail(InetError::Kind::Timeout, QStringLiteral("The server %1 did not answer within %2")
                                               .arg(url_.host(), Seconds(timeouts_.connectMs)));
        }
    }

    void TooLarge() {
        Fail(InetError::Kind::TooLarge,
             QStringLiteral("The file at %1 is larger than the %2 bytes allowed")
                 .arg(url_.toDisplayString())
                 .arg(maxBytes_));
    }

    QNetworkReply& reply_;
    QIODevice& sink_;
    qint64 maxBytes_;
    BodyEnd end_;
    Inet::Timeouts timeouts_;
    QUrl url_;
    std::function<void(qint64)> onWritten_;
    const Resume* resume_;
    const std::function<void(const Answer&)>& onAnswer_;
    bool answerTaken_ = false;
    qint64 offset_ = 0; // bytes of the resource held before this body
    QTimer timer_;
    QTimer more_; // the next slice of the body
    QEventLoop* loop_ = nullptr;
    bool finished_ = false;
    char buffer_[kChunkSize];
    bool answered_ = false;
    qint64 received_ = 0;
    QStringList sslErrors_;
    std::optional<InetError> failure_;
};

} // namespace

Inet::Inet(QObject* parent) : QObject(parent), manager_(new QNetworkAccessManager(this)) {
    QNetworkProxyFactory::setUseSystemConfiguration(true);
    manager_->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
}

Inet::~Inet() {
    Abandon();
}

void Inet::OpenURL(const QString& url, int dataType, QIODevice& sink, qint64 maxBytes, BodyEnd end,
                   const Resume* resume, const std::function<void(const Answer&)>& onAnswer) {
    if (abandoned_) throw InetError(InetError::Kind::Abandoned, QStringLiteral("Abandoned"));
    if (reply_) {
        throw InetError(InetError::Kind::Transfer, QStringLiteral("Still executing last request"));
    }
    if (dataType != icByteArray) {
        throw InetError(InetError::Kind::Transfer, QStringLiteral("Unsupported data type"));
    }
    const QUrl qurl(url, QUrl::StrictMode);
    const QString scheme = qurl.scheme().toLower();
    if (!qurl.isValid() || qurl.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        throw InetError(InetError::Kind::Transfer, QStringLiteral("Invalid URL: %1").arg(url));
    }

    QNetworkRequest request(qurl);
    // Names the program, so the vendor's server logs tell updater traffic apart.
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      QStringLiteral("Vexbrindle/") + vex::runtime::OwnVersionText());
    request.setMaximumRedirectsAllowed(kMaxRedirects);
    // Asked for as stored: Qt would otherwise inflate compressed answers itself, unbounded.
    request.setRawHeader("Accept-Encoding", "identity");
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    if (resume && resume->offset > 0) {
        request.setRawHeader("Range", "bytes=" + QByteArray::number(resume->offset) + "-");
        request.setRawHeader("If-Range", resume->ifRange);
    }
    QNetworkReply* reply = manager_->get(request);
    reply->setReadBufferSize(kReadBufferSize);
    reply_ = reply;

    QEventLoop loop;
    Transfer transfer(
        *reply, sink, maxBytes, end, timeouts_, qurl,
        [this](qint64 total) { emit BytesWritten(total); }, resume, onAnswer);
    transfer.Start(loop);
    if (!reply->isFinished()) loop.exec();

    // The loop also ends when the application is told to quit; the fetch is then abandoned.
    if (abandoned_ || !reply->isFinished()) {
        transfer.Fail(InetError::Kind::Abandoned, QStringLiteral("Abandoned"));
    } else {
        transfer.OnFinished();
    }
    reply_ = nullptr;
    reply->disconnect();
    // A failure may end the loop before Qt has finished the reply; it is cut off here.
    if (!reply->isFinished() && reply->error() == QNetworkReply::NoError) reply->abort();
    reply->deleteLater();
    if (abandoned_ && !(transfer.failure() && transfer.failure()->Abandoned())) {
        throw InetError(InetError::Kind::Abandoned, QStringLiteral("Abandoned"));
    }
    if (transfer.failure()) throw *transfer.failure();
}

QByteArray Inet::OpenURL(const QString& url, int dataType, qint64 maxBytes) {
    QByteArray body;
    QBuffer buffer(&body);
    buffer.open(QIODevice::WriteOnly);
    OpenURL(url, dataType, buffer, maxBytes);
    return body;
}

void Inet::Abandon() {
    abandoned_ = true;
    if (reply_) reply_->abort();
}

} // namespace vex::inet
