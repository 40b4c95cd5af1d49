#pragma once

// Runs the real vexbrindle-publish into a temporary site folder, and what the tests of it
// share: releases to publish, a snapshot of the whole site, the zstd tool.
#include "tests/support/QtPrinters.h"
#include "tests/support/TestServers.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>

namespace vex::testing {

struct PublishResult {
    int exitCode = -1;
    QString out;
    QString err;
};

inline QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

inline void WriteFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// Release n of Drixa Billing: the same program with a few changes, as successive builds are.
inline QByteArray Release(int n, qint64 size = 128 * 1024) {
    QByteArray bytes = PatternBytes(size, 1);
    bytes.replace(1000 + 64 * n, 10, QByteArray::number(1000000000 + n));
    return bytes + PatternBytes(1000 + n, n + 100);
}

// Every file and folder under `root` (hidden ones included), each file with its size and a
// hash of its bytes, sorted: two snapshots are equal only when nothing in the folder changed.
inline QStringList Snapshot(const QString& root) {
    QStringList entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = QDir(root).relativeFilePath(path);
        if (it.fileInfo().isDir()) {
            entries << relative + "/";
            continue;
        }
        const QByteArray bytes = ReadFile(path);
        entries << QStringLiteral("%1 (%2 bytes, SHA-256 %3)")
                       .arg(relative)
                       .arg(bytes.size())
                       .arg(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256)
                                .toHex()
                                .left(16));
    }
    entries.sort();
    return entries;
}

// A site folder and a place for the executables published into it.
class PublishSite {
  public:
    PublishSite() { EXPECT_TRUE(QDir(dir_.path()).mkdir("site")); }

    QString Root() const { return dir_.filePath("site"); }
    QString Path(const QString& relative) const { return Root() + '/' + relative; }
    QString Scratch(const QString& name) const { return dir_.filePath(name); }

    // Writes release bytes to a file of their own and returns its path.
    QString Executable(const QByteArray& bytes) const {
        const QString path = dir_.filePath(QStringLiteral("build-%1.exe").arg(++built_));
        WriteFile(path, bytes);
        return path;
    }

    // Runs the tool with --site this site, standard input closed (not a terminal).
    PublishResult Publish(const QStringList& args) const {
        return Run(QStringList{"--site", Root()} + args);
    }

    static PublishResult Run(const QStringList& args,
                             const std::function<void(QProcess&)>& adjust = {}) {
        QProcess p;
        p.setStandardInputFile(QProcess::nullDevice());
        if (adjust) adjust(p);
        p.start(QStringLiteral(VEXBRINDLE_PUBLISH_EXECUTABLE), args);
        if (!p.waitForFinished(120'000)) {
            p.kill();
            p.waitForFinished();
            return {-1, {}, QStringLiteral("did not finish")};
        }
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }

  private:
    QTemporaryDir dir_;
    mutable int built_ = 0;
};

// Runs a program to its end; its exit code, or -1.
inline int RunProgram(const QString& program, const QStringList& args, QString* err = nullptr) {
    QProcess p;
    p.setStandardInputFile(QProcess::nullDevice());
    p.start(program, args);
    if (!p.waitForFinished(60'000)) return -1;
    if (err) *err = QString::fromLocal8Bit(p.readAllStandardError());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

// The zstd tool's reading of a compressed file, or of a patch against its old file: a standard
// reader, not ours. "<failed>" when it refuses.
inline QByteArray DecodedByZstdTool(const QString& compressed, const QString& old,
                                    const QString& out) {
    QStringList args = {"-q", "-f", "-d", compressed, "-o", out};
    if (!old.isEmpty()) args << "--patch-from=" + old;
    QString err;
    if (RunProgram("zstd", args, &err) != 0) return "<failed> " + err.toUtf8();
    return ReadFile(out);
}

// The lower-case hex BLAKE2b-256 of bytes, the name of the patch from them, by the reference
// tool b2sum.
inline QString Blake2b256Hex(const QString& path) {
    QProcess p;
    p.start("b2sum", {"-l", "256", path});
    p.waitForFinished(60'000);
    return QString::fromLatin1(p.readAllStandardOutput()).section(' ', 0, 0);
}

} // namespace vex::testing
