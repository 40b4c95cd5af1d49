#include "updater/FormDownload.h"

#include "updater/PartialDownload.h"

#include "platform/compression/ZstdFileDecoder.h"
#include "platform/runtime/OffThread.h"
#include "platform/runtime/ReplacingFile.h"
#include "platform/runtime/SlicedPump.h"
#include "platform/runtime/ThreadedSink.h"

#include <QDateTime>
#include <QFile>
#include <QPointer>

#include <algorithm>
#include <memory>
#include <optional>

namespace vex::updater {

namespace {

using Result = FormOutcome::Result;

// Passes the body on to where it is decoded and checked, and keeps a copy in the partial data
// while there is one. The copy is a convenience for the next run: when it cannot be written it
// is dropped, and the download goes on.
class KeepingSink : public QIODevice {
  public:
    explicit KeepingSink(PartialDownload* partial) : partial_(partial) {
        open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }

    // Where the body goes from now on; null: nowhere, every write fails with why.
    void SetNext(QIODevice* next, const QString& why = {}) {
        if (next_) disconnect(next_, nullptr, this, nullptr);
        next_ = next;
        if (next_) connect(next_, &QIODevice::bytesWritten, this, &QIODevice::bytesWritten);
        if (!why.isEmpty()) setErrorString(why);
    }

    bool isSequential() const override { return true; }
    // The copy is written beside the body: the writer waits for the slower of the two.
    qint64 bytesToWrite() const override {
        QIODevice* kept = partial_ ? partial_->Data() : nullptr;
        return std::max(next_ ? next_->bytesToWrite() : 0, kept ? kept->bytesToWrite() : 0);
    }

  protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override {
        if (!next_) return -1;
        if (next_->write(data, size) != size) {
            setErrorString(next_->errorString());
            return -1;
        }
        if (QIODevice* kept = partial_ ? partial_->Data() : nullptr) {
            if (kept != watched_) {
                watched_ = kept;
                connect(kept, &QIODevice::bytesWritten, this, &QIODevice::bytesWritten);
            }
            if (kept->write(data, size) != size) {
                partial_->Discard();
                partial_ = nullptr;
            }
        }
        return size;
    }

  private:
    QIODevice* next_ = nullptr;
    PartialDownload* partial_;
    QPointer<QIODevice> watched_; // the copy whose progress is passed on
};

// Takes every byte and keeps none: what a check sees of a file written by other means.
class Discarding : public QIODevice {
  public:
    Discarding() { open(QIODevice::WriteOnly | QIODevice::Unbuffered); }
    bool isSequential() const override { return true; }

  protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64 size) override { return size; }
};

// What one attempt came to, and whether its partial data is worth keeping.
struct Attempt {
    FormOutcome outcome;
    bool interrupted = false; // by the transfer: the data held so far is sound
};

// The devices the body passes through, from the network to the temporary file.
class Chain {
  public:
    explicit Chain(const FormRequest& request) : request_(request), file_(request.target, 0755) {}

    bool Open(QString& why) {
        if (!file_.open(QIODevice::WriteOnly)) {
            why = file_.errorString();
            return false;
        }
        check_ = request_.makeCheck ? request_.makeCheck() : nullptr;
        if (!request_.compressed) {
            // A new file's pages can take the system milliseconds to provide: the body is
            // written (and handed to the check) from a thread of its own, so that the loop
            // never waits for that. The loop sees one backlog, the writer's.
            QIODevice& target = check_ ? check_->Sink(file_) : file_;
            writer_ = std::make_unique<vex::runtime::ThreadedSink>(
                vex::runtime::ThreadedSink::WriteTo(target));
            head_ = writer_.get();
            return true;
        }
        // The content is decoded straight into the file; the check sees each piece as it is
        // decoded.
        decoder_ = std::make_unique<vex::compression::ZstdFileDecoder>(
            file_.handle(), check_ ? &check_->Sink(discarding_) : nullptr, request_.base,
            vex::compression::DecodeLimits{.maxWindowLog = request_.maxWindowLog,
                                           .maxContentSize = request_.maxContentSize,
                                           .requireChecksum = true});
        if (decoder_->HasFailed()) {
            why = decoder_->errorString();
            return false;
        }
        head_ = decoder_.get();
        return true;
    }

    QIODevice& Head() { return *head_; }

    // Why what was written must not become the target, or empty; on empty the target has been
    // replaced.
    QString Finish() {
        QString why;
        if (decoder_ && !decoder_->Finish()) why = Decoding(decoder_->errorString());
        if (why.isEmpty() && (writer_ || check_)) {
            // The last bytes may still be on their way to the file, and the check may wait for
            // its own thread to catch up (the hash of the last megabytes): the loop turns
            // meanwhile. Nothing writes to the chain any more.
            const int fd = file_.handle();
            vex::runtime::CallOffThread([&] {
                if (writer_ && !writer_->Drain()) {
                    why = writer_->Failure();
                } else if (check_) {
                    why = check_->Refusal(fd);
                }
                return 0;
            });
        }
        if (why.isEmpty() && !file_.commit(vex::runtime::ReplacingFile::Sync::WhileLoopTurns))
            why = file_.errorString();
        if (!why.isEmpty()) file_.cancelWriting();
        return why;
    }

    // Why the chain refused a write: the decoder's reason before the file's.
    QString WriteFailure(const QString& fallback) const {
        if (decoder_ && decoder_->HasFailed()) return Decoding(decoder_->errorString());
        return fallback;
    }

    void Cancel() {
        // Nothing writes into the file any more before it goes.
        if (decoder_) decoder_->Cancel();
        if (writer_) writer_->Cancel();
        file_.cancelWriting();
    }

  private:
    QString Decoding(const QString& why) const {
        return QStringLiteral("%1: %2").arg(request_.url.section(QLatin1Char('/'), -1), why);
    }

    const FormRequest& request_;
    vex::runtime::ReplacingFile file_;
    Discarding discarding_;
    std::unique_ptr<BodyCheck> check_;
    // Writes the body through the check's sink into file_ (not for a decoded one); it ends
    // before the check goes.
    std::unique_ptr<vex::runtime::ThreadedSink> writer_;
    std::unique_ptr<vex::compression::ZstdFileDecoder> decoder_;
    QIODevice* head_ = nullptr;
};

// Feeds the partial data held into the chain, as if it had just arrived.
bool Replay(PartialDownload& partial, qint64 bytes, Chain& chain, const FormRequest& request,
            QString& why) {
    QFile data(partial.DataPath());
    if (!data.open(QIODevice::ReadOnly)) {
        why = data.errorString();
        return false;
    }
    if (vex::runtime::PumpInSlices(data, chain.Head(), bytes, request.ending, why)) return true;
    if (!why.isEmpty()) why = chain.WriteFailure(why);
    return false;
}

Attempt TryOnce(vex::inet::Inet& oInet, const FormRequest& request,
                const std::optional<vex::inet::Resume>& resume) {
    KeepingSink sink(request.partial);
    std::unique_ptr<Chain> chain;
    QString openFailure;
    // The temporary file is made only once there is something to write into it: a form the
    // server does not have leaves no trace.
    const auto startChain = [&] {
        sink.SetNext(nullptr);
        chain = std::make_unique<Chain>(request);
        if (chain->Open(openFailure)) {
            sink.SetNext(&chain->Head());
            return true;
        }
        chain.reset();
        sink.SetNext(nullptr, openFailure);
        return false;
    };
    if (resume) {
        if (!startChain()) return {{Result::Failed, openFailure}};
        QString why;
        if (!Replay(*request.partial, resume->offset, *chain, request, why)) {
            chain->Cancel();
            if (why.isEmpty()) return {{Result::Abandoned, {}}};
            return {{Result::Failed, why}}; // the data held is no use: start from zero
        }
    }
    const auto onAnswer = [&](const vex::inet::Answer& answer) {
        // A fresh body, or the whole file after all where the rest was asked for: what was
        // replayed goes, and the body starts afresh.
        if (!resume || answer.offset == 0) startChain();
        if (request.partial) request.partial->Begin(answer);
    };
    Attempt attempt;
    try {
        oInet.OpenURL(request.url, vex::inet::icByteArray, sink, request.maxBytes, request.end,
                      resume ? &*resume : nullptr, onAnswer);
    } catch (const vex::inet::InetError& error) {
        if (chain) chain->Cancel();
        using Kind = vex::inet::InetError::Kind;
        if (error.Abandoned()) return {{Result::Abandoned, {}}};
        if (error.kind() == Kind::Http && error.HttpStatus() == 404) {
            return {{Result::Missing, error.Description()}};
        }
        QString why = error.Description();
        if (error.kind() == Kind::Write) {
            why = chain ? chain->WriteFailure(why) : openFailure;
        }
        attempt.outcome = {Result::Failed, why};
        attempt.interrupted = error.kind() == Kind::Transfer || error.kind() == Kind::Timeout;
        return attempt;
    }
    if (!chain) return {{Result::Failed, openFailure}};
    const QString why = chain->Finish();
    attempt.outcome = {why.isEmpty() ? Result::Done : Result::Failed, why};
    return attempt;
}

} // namespace

FormOutcome FetchForm(vex::inet::Inet& oInet, const FormRequest& request) {
    PartialDownload* partial = request.partial;
    std::optional<vex::inet::Resume> resume;
    if (partial) resume = partial->Resumable(request.maxBytes, QDateTime::currentDateTimeUtc());
    Attempt attempt = TryOnce(oInet, request, resume);
    // A resumed download that did not fit is fetched once more, whole.
    if (resume && attempt.outcome.result == Result::Failed && !attempt.interrupted) {
        partial->Discard();
        attempt = TryOnce(oInet, request, std::nullopt);
    }
    if (!partial) return attempt.outcome;
    const Result result = attempt.outcome.result;
    // Data cut off by the transfer or the program's end is kept; anything else is no use.
    if (!(result == Result::Abandoned || (result == Result::Failed && attempt.interrupted))) {
        partial->Discard();
    }
    return attempt.outcome;
}

} // namespace vex::updater
