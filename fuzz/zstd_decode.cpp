// Decoding a downloaded patch or compressed file. Each input is one steering byte and then the
// bytes a server sent; they are decoded against a fixed old file (as a patch) or alone (as a
// compressed whole file) into a sink that holds at most a fixed number of bytes.
//
// The steering byte:
//   bit 0      decode against the old file
//   bits 1-7   the size of the pieces the body arrives in (1 + the value, in bytes)
//
// Whatever the pieces, the verdict and the bytes are the same as when the body arrives whole,
// and what decodes never passes the sink's bound or the size its frame declares.
#include "fuzz/check.h"

#include "platform/compression/ZstdDecoder.h"

#include <QByteArray>
#include <QIODevice>

#include <zstd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>

using vex::compression::ZstdDecoder;

namespace {

constexpr qint64 kSinkLimit = 1 << 20;
constexpr int kMaxWindowLog = 22;

// The old file every patch in the corpus was made against (with zstd --patch-from): 64 KiB whose
// byte i is "abcdefghijklmnopqrstuvwxyz 0123456789"[(i * 7 + i / 4096) % 37].
const QByteArray& OldFile() {
    static const QByteArray bytes = [] {
        static const char alphabet[] = "abcdefghijklmnopqrstuvwxyz 0123456789";
        QByteArray b(64 * 1024, Qt::Uninitialized);
        for (qsizetype i = 0; i < b.size(); ++i)
            b[i] = alphabet[(i * 7 + i / 4096) % 37];
        return b;
    }();
    return bytes;
}

// Keeps what it is given up to a limit, then refuses, as a download's capped file does.
class BoundedSink : public QIODevice {
  public:
    BoundedSink() { open(QIODevice::WriteOnly); }
    QByteArray bytes;

  protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override {
        if (bytes.size() + size > kSinkLimit) {
            setErrorString(QStringLiteral("past the limit"));
            return -1;
        }
        bytes.append(data, size);
        return size;
    }
};

struct Outcome {
    bool decoded = false;
    QByteArray bytes;
};

Outcome Decode(const QByteArray& body, bool patch, qsizetype piece) {
    BoundedSink sink;
    ZstdDecoder decoder(sink, patch ? QByteArrayView(OldFile()) : QByteArrayView(), kMaxWindowLog);
    for (qsizetype at = 0; at < body.size(); at += piece) {
        const qsizetype n = std::min(piece, body.size() - at);
        if (decoder.write(body.constData() + at, n) != n) break;
    }
    Outcome outcome;
    outcome.decoded = decoder.Finish();
    outcome.bytes = sink.bytes;
    return outcome;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const bool patch = (data[0] & 1) != 0;
    const qsizetype piece = 1 + (data[0] >> 1);
    const QByteArray body(reinterpret_cast<const char*>(data + 1),
                          static_cast<qsizetype>(size - 1));

    const Outcome whole = Decode(body, patch, qMax<qsizetype>(body.size(), 1));
    const Outcome pieces = Decode(body, patch, piece);
    FUZZ_CHECK(whole.decoded == pieces.decoded, "the verdict depends on how the body arrives");
    if (!whole.decoded) return 0;
    FUZZ_CHECK(whole.bytes == pieces.bytes, "the content depends on how the body arrives");
    FUZZ_CHECK(whole.bytes.size() <= kSinkLimit, "more than the sink holds was kept");
    const unsigned long long declared = ZSTD_getFrameContentSize(body.constData(), body.size());
    if (declared != ZSTD_CONTENTSIZE_UNKNOWN && declared != ZSTD_CONTENTSIZE_ERROR)
        FUZZ_CHECK(static_cast<unsigned long long>(whole.bytes.size()) == declared,
                   "a frame decoded to another size than it declares");
    return 0;
}
