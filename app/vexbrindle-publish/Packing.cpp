#include "app/vexbrindle-publish/Packing.h"

#include "app/vexbrindle-publish/ComparingSink.h"
#include "app/vexbrindle-publish/Interruption.h"

#include "platform/compression/ZstdDecoder.h"
#include "platform/compression/ZstdEncoder.h"
#include "platform/runtime/ReplacingFile.h"

#include <QFile>
#include <QFileInfo>

#include <vector>

namespace vex::publish {

using vex::compression::ZstdSettings;

namespace {

// zstd's high levels: slow to make, as fast to decode as any, and made once per release.
constexpr int kLevel = 19;
// The whole file's window (128 MiB): repeats far apart in a large executable are found, and
// every zstd decoder accepts it without being told to.
constexpr int kWholeFileWindowLog = 27;
constexpr qint64 kPiece = 1024 * 1024;

// A file's bytes mapped into memory for as long as the object lives.
class MappedFile {
  public:
    bool Open(const QString& path, QString& why) {
        file_.setFileName(path);
        if (!file_.open(QIODevice::ReadOnly)) {
            why = QStringLiteral("Cannot read %1: %2").arg(path, file_.errorString());
            return false;
        }
        if (file_.size() == 0) return true;
        const uchar* bytes = file_.map(0, file_.size());
        if (!bytes) {
            why = QStringLiteral("Cannot map %1: %2").arg(path, file_.errorString());
            return false;
        }
        bytes_ = QByteArrayView(bytes, file_.size());
        return true;
    }
    QByteArrayView Bytes() const { return bytes_; }

  private:
    QFile file_;
    QByteArrayView bytes_;
};

ZstdSettings SettingsFor(qint64 size, QByteArrayView old) {
    ZstdSettings settings;
    settings.level = kLevel;
    settings.checksum = true;
    settings.contentSize = size;
    settings.longDistanceMatching = true;
    // A patch's window spans the old file and the new one, so the end of the new file still
    // reaches back to the start of the old.
    settings.windowLog = old.isEmpty() ? kWholeFileWindowLog
                                       : vex::compression::WindowLogSpanning(old.size() + size);
    settings.prefix = old;
    settings.onWorkerThread = !old.isEmpty();
    return settings;
}

bool OpenOld(const QString& old, MappedFile& mapped, QString& why) {
    return old.isEmpty() || mapped.Open(old, why);
}

// Writes everything `in` holds into `out`, showing progress; false on a failure of either
// side, or an interruption.
bool Pump(QFile& in, QIODevice& out, Progress* progress, QString& why) {
    std::vector<char> piece(kPiece);
    qint64 done = 0;
    for (;;) {
        if (Interrupted()) {
            why = QStringLiteral("Interrupted");
            return false;
        }
        const qint64 n = in.read(piece.data(), kPiece);
        if (n < 0) {
            why = QStringLiteral("Cannot read %1: %2").arg(in.fileName(), in.errorString());
            return false;
        }
        if (n == 0) return true;
        if (out.write(piece.data(), n) != n) {
            why = out.errorString();
            return false;
        }
        done += n;
        if (progress) progress->Advance(done);
    }
}

} // namespace

bool OpenSourceAndTarget(const QString& from, QFile& in, vex::runtime::ReplacingFile& out,
                         QString& why) {
    if (!in.open(QIODevice::ReadOnly)) {
        why = QStringLiteral("Cannot read %1: %2").arg(from, in.errorString());
        return false;
    }
    if (!out.open(QIODevice::WriteOnly)) {
        why = out.errorString();
        return false;
    }
    return true;
}

bool Compress(const QString& from, const QString& to, const QString& old, Progress& progress,
              QString& why) {
    MappedFile mapped;
    if (!OpenOld(old, mapped, why)) return false;
    QFile in(from);
    vex::runtime::ReplacingFile out(to);
    if (!OpenSourceAndTarget(from, in, out, why)) return false;
    vex::compression::ZstdEncoder encoder(out, SettingsFor(in.size(), mapped.Bytes()));
    if (!Pump(in, encoder, &progress, why)) return false;
    if (!encoder.Finish()) {
        why = encoder.errorString();
        return false;
    }
    if (!out.commit()) {
        why = out.errorString();
        return false;
    }
    progress.End();
    return true;
}

bool DecodesTo(const QString& compressed, const QString& old, const QString& expected,
               QString& why) {
    MappedFile mapped;
    if (!OpenOld(old, mapped, why)) return false;
    QFile in(compressed);
    QFile reference(expected);
    if (!in.open(QIODevice::ReadOnly) || !reference.open(QIODevice::ReadOnly)) {
        why = QStringLiteral("Cannot read %1: %2")
                  .arg(in.isOpen() ? expected : compressed,
                       in.isOpen() ? reference.errorString() : in.errorString());
        return false;
    }
    ComparingSink comparison(reference);
    // The decoder is allowed the window the file was made with, and no more.
    const int maxWindowLog =
        old.isEmpty()
            ? kWholeFileWindowLog
            : vex::compression::WindowLogSpanning(mapped.Bytes().size() + reference.size());
    vex::compression::ZstdDecoder decoder(comparison, mapped.Bytes(), maxWindowLog);
    if (!Pump(in, decoder, nullptr, why) || !decoder.Finish() || !comparison.Same()) {
        if (why.isEmpty())
            why = decoder.HasFailed() ? decoder.errorString() : comparison.errorString();
        return false;
    }
    return true;
}

} // namespace vex::publish
