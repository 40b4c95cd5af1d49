// zstd frames made and read as they stream: round trips in odd pieces, patches against a
// prefix, and every way a frame must be refused.
#include "platform/compression/ZstdDecoder.h"
#include "platform/compression/ZstdEncoder.h"
#include "platform/compression/ZstdFileDecoder.h"
#include "platform/compression/ZstdSettings.h"

#include "tests/support/TestServers.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryFile>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <sys/mman.h>
#include <thread>

using namespace vex::compression;
using vex::testing::PatternBytes;

namespace {

// Writes bytes into a device in pieces of `piece` bytes; false when a write fails.
bool WriteInPieces(QIODevice& device, const QByteArray& bytes, qsizetype piece) {
    for (qsizetype at = 0; at < bytes.size(); at += piece) {
        const QByteArray part = bytes.mid(at, piece);
        if (device.write(part) != part.size()) return false;
    }
    return true;
}

QByteArray Encode(const QByteArray& content, const ZstdSettings& settings, qsizetype piece) {
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    ZstdEncoder encoder(out, settings);
    EXPECT_TRUE(WriteInPieces(encoder, content, piece)) << encoder.errorString().toStdString();
    EXPECT_TRUE(encoder.Finish()) << encoder.errorString().toStdString();
    return out.data();
}

struct Decoded {
    bool ok = false;
    QByteArray content;
    QString error;
};

Decoded Decode(const QByteArray& frame, QByteArrayView prefix = {},
               int maxWindowLog = DefaultMaxWindowLog(), qsizetype piece = 7777) {
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    ZstdDecoder decoder(out, prefix, maxWindowLog);
    const bool ok = WriteInPieces(decoder, frame, piece) && decoder.Finish();
    return {ok, out.data(), decoder.errorString()};
}

// An old executable and a new one that differs from it here and there, as releases do.
const QByteArray kOld = PatternBytes(3 * 1024 * 1024, 1);
QByteArray NewFrom(const QByteArray& old) {
    QByteArray changed = old;
    changed.replace(1000, 16, "a changed string");
    changed.insert(2 * 1024 * 1024, PatternBytes(4096, 2));
    return changed.left(changed.size() - 100000) + PatternBytes(50000, 3);
}
const QByteArray kNew = NewFrom(kOld);

ZstdSettings PatchSettings(QByteArrayView old, qint64 size) {
    ZstdSettings settings;
    settings.level = 3;
    settings.longDistanceMatching = true;
    settings.windowLog = WindowLogSpanning(old.size() + size);
    settings.contentSize = size;
    settings.prefix = old;
    return settings;
}

TEST(Zstd, WhatIsEncodedInPiecesDecodesInOthers) {
    struct Case {
        const char* name;
        QByteArray content;
        ZstdSettings settings;
        qsizetype piece;
    };
    ZstdSettings sized;
    sized.contentSize = kOld.size();
    ZstdSettings high;
    high.level = 19;
    high.windowLog = 27;
    high.longDistanceMatching = true;
    const Case cases[] = {
        {"nothing at all", {}, {}, 1},
        {"one byte", "x", {}, 1},
        {"larger than zstd's buffers, in odd pieces", kOld, {}, 100003},
        {"content size written into the frame", kOld, sized, 65536},
        {"high level with a long window", NewFrom(QByteArray(200000, 'z')), high, 4096},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Decoded decoded = Decode(Encode(c.content, c.settings, c.piece));
        EXPECT_TRUE(decoded.ok) << decoded.error.toStdString();
        EXPECT_TRUE(decoded.content == c.content);
    }
}

TEST(Zstd, APatchRefersToItsPrefixAndNeedsIt) {
    const QByteArray patch = Encode(kNew, PatchSettings(kOld, kNew.size()), 1 << 20);
    // The changes are a few KiB; a patch that did not use the old file would hold all 3 MiB.
    EXPECT_LT(patch.size(), 100 * 1024) << "the old file was not used";
    const int window = WindowLogSpanning(kOld.size() + kNew.size());

    const Decoded applied = Decode(patch, kOld, window);
    EXPECT_TRUE(applied.ok) << applied.error.toStdString();
    EXPECT_TRUE(applied.content == kNew);

    struct Case {
        const char* name;
        QByteArray prefix;
    };
    const Case wrong[] = {
        {"without the old file", {}},
        {"against another file", PatternBytes(kOld.size(), 9)},
        {"against the old file with one byte changed", QByteArray(kOld).replace(5000, 1, "!")},
    };
    for (const Case& c : wrong) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(Decode(patch, c.prefix, window).ok);
    }
}

TEST(Zstd, DamagedOrExcessiveFramesAreRefused) {
    ZstdSettings sized;
    sized.contentSize = kOld.size();
    const QByteArray frame = Encode(kOld, sized, 1 << 20);
    ZstdSettings unsized;
    unsized.windowLog = 16;
    const QByteArray windowed = Encode(kOld, unsized, 1 << 20);
    struct Case {
        const char* name;
        QByteArray frame;
        int maxWindowLog;
        const char* error; // a part of the message
        qsizetype piece = 7777;
    };
    // A frame that declares 65791 bytes and holds one empty last block.
    const QByteArray hollow = QByteArray::fromHex("28b52ffd60ffff010000");
    QByteArray flipped = frame;
    flipped[flipped.size() - 2] = static_cast<char>(flipped[flipped.size() - 2] ^ 0x01);
    const Case cases[] = {
        {"the checksum does not match", flipped, DefaultMaxWindowLog(), "cannot be decoded"},
        {"the frame is cut short", frame.chopped(10), DefaultMaxWindowLog(),
         "ends before its frame"},
        {"only the header arrived", frame.left(6), DefaultMaxWindowLog(), "ends before its frame"},
        {"bytes follow the frame", frame + "x", DefaultMaxWindowLog(), "after the end"},
        {"a second frame follows", frame + frame, DefaultMaxWindowLog(), "after the end"},
        {"the frame needs a larger window than allowed", windowed, 15, "cannot be decoded"},
        {"not zstd at all", QByteArray("PK\x03\x04 not a frame"), DefaultMaxWindowLog(),
         "cannot be decoded"},
        {"a frame holds less than it declares", hollow, DefaultMaxWindowLog(), "cannot be decoded"},
        // zstd itself lets this pass when the frame comes a byte at a time.
        {"a frame holds less than it declares, arriving a byte at a time", hollow,
         DefaultMaxWindowLog(), "declares 65791 bytes but holds 0", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Decoded decoded = Decode(c.frame, {}, c.maxWindowLog, c.piece);
        EXPECT_FALSE(decoded.ok);
        EXPECT_TRUE(decoded.error.contains(c.error)) << decoded.error.toStdString();
    }
}

TEST(Zstd, TheEncoderFailsOnWrongSizesAndRefusedWrites) {
    ZstdSettings promised;
    promised.contentSize = 10;
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    ZstdEncoder wrongSize(out, promised);
    wrongSize.write("more than ten bytes");
    EXPECT_FALSE(wrongSize.Finish()) << "a content size that does not match";

    QBuffer readOnly;
    readOnly.open(QIODevice::ReadOnly);
    ZstdEncoder refused(readOnly, ZstdSettings{});
    EXPECT_FALSE(WriteInPieces(refused, kOld, 1 << 20) && refused.Finish());
    EXPECT_TRUE(refused.HasFailed());
    EXPECT_EQ(refused.write("x"), -1) << "a failed encoder stays failed";
}

TEST(Zstd, AWindowSpansItsBytes) {
    struct Case {
        qint64 bytes;
        int log;
    };
    const Case cases[] = {
        {0, 10}, {1024, 10}, {1025, 11}, {qint64{1} << 27, 27}, {(qint64{1} << 27) + 1, 28}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(WindowLogSpanning(c.bytes), c.log);
    }
}

} // namespace

// Decodes into a file through the mapped decoder, in pieces; what the file and the observer
// hold afterwards.
struct DecodedToFile {
    bool ok = false;
    QByteArray file;
    QByteArray observed;
    QString error;
};

// Waits for the decoder to take all that waits; qWaitFor's naps would make a frame written a
// byte at a time take minutes.
bool WaitUntilTaken(ZstdFileDecoder& decoder) {
    QElapsedTimer waited;
    waited.start();
    while (decoder.bytesToWrite() > 0) {
        if (waited.elapsed() > 10'000) return false;
        QCoreApplication::processEvents();
        std::this_thread::yield();
    }
    return true;
}

DecodedToFile DecodeToFile(const QByteArray& frame, QByteArrayView prefix,
                           const DecodeLimits& limits, qsizetype piece = 7777) {
    QTemporaryFile file;
    EXPECT_TRUE(file.open());
    QBuffer observer;
    observer.open(QIODevice::WriteOnly);
    ZstdFileDecoder decoder(file.handle(), &observer, prefix, limits);
    // Each piece is decoded before the next arrives, as from a slow network.
    bool written = true;
    for (qsizetype at = 0; written && at < frame.size(); at += piece) {
        const QByteArray part = frame.mid(at, piece);
        written = decoder.write(part) == part.size() && WaitUntilTaken(decoder);
    }
    const bool ok = written && decoder.Finish();
    file.seek(0);
    return {ok, file.readAll(), observer.data(), decoder.errorString()};
}

TEST(ZstdFile, APatchDecodesIntoTheFileWithoutAWindowOfItsOwn) {
    const QByteArray patch = Encode(kNew, PatchSettings(kOld, kNew.size()), 1 << 20);
    const DecodeLimits limits{.maxWindowLog = WindowLogSpanning(kOld.size() + kNew.size()),
                              .maxContentSize = -1,
                              .requireChecksum = true};
    for (const qsizetype piece : {qsizetype{1}, qsizetype{4093}, qsizetype{1} << 20}) {
        SCOPED_TRACE(piece);
        const DecodedToFile decoded = DecodeToFile(patch, kOld, limits, piece);
        EXPECT_TRUE(decoded.ok) << decoded.error.toStdString();
        EXPECT_TRUE(decoded.file == kNew);
        EXPECT_TRUE(decoded.observed == kNew) << "the observer sees every byte once, in order";
    }
    ZstdSettings empty;
    empty.contentSize = 0;
    const DecodedToFile nothing = DecodeToFile(Encode({}, empty, 1), {}, limits);
    EXPECT_TRUE(nothing.ok) << nothing.error.toStdString();
    EXPECT_TRUE(nothing.file.isEmpty());
}

TEST(ZstdFile, FramesThatBreakALimitAreRefusedAtTheirHeader) {
    ZstdSettings sized;
    sized.contentSize = kOld.size();
    const QByteArray frame = Encode(kOld, sized, 1 << 20);
    ZstdSettings unchecked = sized;
    unchecked.checksum = false;
    ZstdSettings unsized;
    struct Case {
        const char* name;
        QByteArray frame;
        DecodeLimits limits;
        const char* error; // a part of the message
        qsizetype piece = 7777;
    };
    const DecodeLimits checked{.maxWindowLog = 27, .maxContentSize = -1, .requireChecksum = true};
    // Declares 65791 bytes, holds one empty last block and the right checksum of no content.
    const QByteArray hollow = QByteArray::fromHex("28b52ffd64ffff01000099e9d851");
    QByteArray flipped = frame;
    flipped[flipped.size() - 2] = static_cast<char>(flipped[flipped.size() - 2] ^ 0x01);
    const Case cases[] = {
        {"content over the cap",
         frame,
         {.maxWindowLog = 27, .maxContentSize = kOld.size() - 1},
         "declares"},
        {"no checksum where one is required", Encode(kOld, unchecked, 1 << 20), checked,
         "no content checksum"},
        {"no content size to give the file", Encode(kOld, unsized, 1 << 20), checked,
         "content size"},
        {"a window larger than allowed", frame, {.maxWindowLog = 12}, "window"},
        {"the checksum does not match", flipped, checked, "cannot be decoded"},
        {"the frame is cut short", frame.chopped(10), checked, "ends before its frame"},
        {"bytes follow the frame", frame + "x", checked, "after the end"},
        // zstd itself lets this pass when the frame comes a byte at a time; the file would be
        // zeros that the checksum never saw.
        {"less content than declared, a byte at a time", hollow, checked,
         "declares 65791 bytes but holds 0", 1},
        {"less content than declared", hollow, checked, "declares 65791 bytes but holds 0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const DecodedToFile decoded = DecodeToFile(c.frame, {}, c.limits, c.piece);
        EXPECT_FALSE(decoded.ok);
        EXPECT_TRUE(decoded.error.contains(c.error)) << decoded.error.toStdString();
    }
}

// A patch of 48 MiB of content that is a few KiB long: decoding it takes a while after the
// last byte has been written.
struct LongPatch {
    QByteArray old = PatternBytes(48 * 1024 * 1024, 4);
    QByteArray changed;
    QByteArray patch;
    DecodeLimits limits;

    LongPatch() {
        changed = old;
        changed.replace(1000, 16, "a changed string");
        patch = Encode(changed, PatchSettings(old, changed.size()), 1 << 20);
        limits = {.maxWindowLog = WindowLogSpanning(old.size() + changed.size()),
                  .maxContentSize = -1,
                  .requireChecksum = true};
    }
};

// A few bytes of a patch can stand for a long stretch of the old file: the decoder takes what
// is written at once and decodes it beside, saying what waits; the event loop turns meanwhile.
TEST(ZstdFile, DecodingIsDoneBesideTheEventLoop) {
    const LongPatch p;
    ASSERT_LT(p.patch.size(), 64 * 1024) << "the patch should be far smaller than its content";

    QTemporaryFile file;
    ASSERT_TRUE(file.open());
    ZstdFileDecoder decoder(file.handle(), nullptr, p.old, p.limits);
    qint64 reported = 0;
    QObject::connect(&decoder, &QIODevice::bytesWritten, [&](qint64 n) { reported += n; });
    ASSERT_EQ(decoder.write(p.patch), p.patch.size());

    int turns = 0; // of the event loop while the decoder works
    QTimer turn;
    QObject::connect(&turn, &QTimer::timeout, [&] { ++turns; });
    turn.start(0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return decoder.bytesToWrite() == 0; }, 60'000));
    turn.stop();
    EXPECT_GT(turns, 1) << "the loop turned while the decoder worked";
    EXPECT_TRUE(decoder.Finish()) << decoder.errorString().toStdString();
    EXPECT_EQ(reported, p.patch.size()) << "every byte taken is reported, once";
    file.seek(0);
    EXPECT_TRUE(file.readAll() == p.changed);
}

// Finish() waits for the decoding while the loop turns: a timer keeps ticking.
TEST(ZstdFile, TimersTickWhileFinishWaits) {
    const LongPatch p;
    QTemporaryFile file;
    ASSERT_TRUE(file.open());
    QBuffer observer;
    observer.open(QIODevice::WriteOnly);
    ZstdFileDecoder decoder(file.handle(), &observer, p.old, p.limits);
    ASSERT_EQ(decoder.write(p.patch), p.patch.size());
    int ticks = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { ++ticks; });
    tick.start(1);
    EXPECT_TRUE(decoder.Finish()) << decoder.errorString().toStdString();
    tick.stop();
    EXPECT_GT(ticks, 1) << "the timer ticked while Finish() waited";
    EXPECT_EQ(decoder.bytesToWrite(), 0);
    file.seek(0);
    EXPECT_TRUE(file.readAll() == p.changed);
    EXPECT_TRUE(observer.data() == p.changed) << "the observer sees every byte once, in order";
    EXPECT_EQ(decoder.write("x"), -1) << "nothing is taken after the end";
}

// A frame that breaks in its middle, while the writer still writes: the first failure is the
// one reported, later writes fail, and what was written is all reported as taken.
TEST(ZstdFile, AFailureInTheMiddleStopsTheDecoding) {
    const QByteArray content = PatternBytes(6 * 1024 * 1024, 9);
    ZstdSettings sized;
    sized.contentSize = content.size();
    QByteArray frame = Encode(content, sized, 1 << 20);
    QByteArray broken = frame;
    for (qsizetype at = broken.size() / 2; at < broken.size() / 2 + 64; ++at)
        broken[at] = 'x';
    const DecodeLimits limits{.maxWindowLog = 27, .maxContentSize = -1, .requireChecksum = true};

    QTemporaryFile file;
    ASSERT_TRUE(file.open());
    ZstdFileDecoder decoder(file.handle(), nullptr, {}, limits);
    qint64 reported = 0;
    QObject::connect(&decoder, &QIODevice::bytesWritten, [&](qint64 n) { reported += n; });
    qint64 accepted = 0;
    bool refused = false;
    for (qsizetype at = 0; at < broken.size() && !refused; at += 4096) {
        const QByteArray part = broken.mid(at, 4096);
        const qint64 n = decoder.write(part);
        if (n < 0)
            refused = true;
        else
            accepted += n;
        QCoreApplication::processEvents();
    }
    if (!refused) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return decoder.HasFailed(); }, 10'000));
        EXPECT_EQ(decoder.write("more"), -1);
    }
    EXPECT_FALSE(decoder.Finish());
    EXPECT_TRUE(decoder.errorString().contains("cannot be decoded"))
        << decoder.errorString().toStdString();
    EXPECT_EQ(reported, accepted) << "the writer hears that all it gave was taken";
    EXPECT_EQ(decoder.bytesToWrite(), 0);
}

// Counts what it is given, from whichever thread.
class CountingObserver : public QIODevice {
  public:
    CountingObserver() { open(QIODevice::WriteOnly | QIODevice::Unbuffered); }
    bool isSequential() const override { return true; }
    std::atomic<qint64> seen = 0;

  protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64 size) override {
        seen += size;
        return size;
    }
};

// The decoder may go, or be told to stop, while it still decodes: it stops after the step under
// way and leaves nothing running behind it.
TEST(ZstdFile, StoppingInTheMiddleIsSafe) {
    const LongPatch p;
    for (const bool cancelFirst : {false, true}) {
        SCOPED_TRACE(cancelFirst);
        QTemporaryFile file;
        ASSERT_TRUE(file.open());
        CountingObserver observer;
        {
            ZstdFileDecoder decoder(file.handle(), &observer, p.old, p.limits);
            ASSERT_EQ(decoder.write(p.patch), p.patch.size());
            ASSERT_TRUE(QTest::qWaitFor([&] { return observer.seen > 0; }, 10'000));
            if (cancelFirst) {
                decoder.Cancel();
                EXPECT_EQ(decoder.write("x"), -1);
                EXPECT_FALSE(decoder.Finish()) << "a stopped decoder never succeeds";
            }
        }
        const qint64 seen = observer.seen;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_EQ(observer.seen, seen) << "nothing decodes once the decoder is gone";
        // The reports still on their way go with the decoder.
        QCoreApplication::processEvents();
    }
}

// The prefix's pages are let go as decoding moves on only when the system can read them back
// from a file: a prefix in memory of its own, even one that starts on a page, keeps its bytes.
TEST(ZstdFile, APrefixKeepsItsBytesWhereverItIs) {
    const QByteArray old = PatternBytes(12 * 1024 * 1024, 5);
    QByteArray changed = old;
    changed.replace(5000, 16, "a changed string");
    const QByteArray patch = Encode(changed, PatchSettings(old, changed.size()), 1 << 20);
    const DecodeLimits limits{.maxWindowLog = WindowLogSpanning(old.size() + changed.size()),
                              .maxContentSize = -1,
                              .requireChecksum = true};

    void* anonymous = ::mmap(nullptr, static_cast<size_t>(old.size()), PROT_READ | PROT_WRITE,
                             MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(anonymous, MAP_FAILED);
    std::memcpy(anonymous, old.constData(), static_cast<size_t>(old.size()));
    QTemporaryFile oldFile;
    ASSERT_TRUE(oldFile.open());
    ASSERT_EQ(oldFile.write(old), old.size());
    ASSERT_TRUE(oldFile.flush());
    const uchar* mapped = oldFile.map(0, old.size());
    ASSERT_NE(mapped, nullptr);

    struct Case {
        const char* name;
        QByteArrayView prefix;
    };
    const Case cases[] = {
        {"anonymous memory on a page boundary", {static_cast<const char*>(anonymous), old.size()}},
        {"a mapped file", {reinterpret_cast<const char*>(mapped), old.size()}},
        {"the heap", old},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const DecodedToFile decoded = DecodeToFile(patch, c.prefix, limits, 1 << 20);
        EXPECT_TRUE(decoded.ok) << decoded.error.toStdString();
        EXPECT_TRUE(decoded.file == changed);
        EXPECT_TRUE(c.prefix == old) << "the prefix holds what it held";
    }
    ::munmap(anonymous, static_cast<size_t>(old.size()));
}
