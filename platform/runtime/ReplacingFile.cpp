#include "platform/runtime/ReplacingFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <unistd.h>
#include <vector>

namespace vex::runtime {

namespace {

// Tries before giving up on finding a free temporary name; a clash is already unlikely once.
constexpr int kNameAttempts = 100;

// Written data is handed to the disk in pieces of this size as it comes, so that the sync in
// commit() finds little left to wait for: syncing a whole large download at the end held the
// caller (the window's event loop) for most of a second.
constexpr qint64 kWritebackStep = 2 * 1024 * 1024;

QByteArray TemporaryNameBeside(const QString& path) {
    const QFileInfo info(path);
    const QString name = QStringLiteral("%1/.%2.%3.part")
                             .arg(info.path(), info.fileName())
                             .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
    return QFile::encodeName(name);
}

// Temporary files not yet committed or discarded. A library may end the program with exit()
// from deep inside (Qt does when the display's connection breaks), which skips every
// destructor on the stack; the files are removed then as the process's statics go away.
class PendingFiles {
  public:
    ~PendingFiles() {
        for (const std::string& path : paths_)
            ::unlink(path.c_str());
    }
    void Add(const QByteArray& path) {
        const std::lock_guard lock(mutex_);
        paths_.push_back(path.toStdString());
    }
    void Remove(const QByteArray& path) {
        const std::lock_guard lock(mutex_);
        std::erase(paths_, path.toStdString());
    }

  private:
    std::mutex mutex_;
    std::vector<std::string> paths_;
};

PendingFiles& Pending() {
    static PendingFiles pending;
    return pending;
}

} // namespace

ReplacingFile::ReplacingFile(QString path, mode_t mode) : path_(std::move(path)), mode_(mode) {}

ReplacingFile::~ReplacingFile() {
    cancelWriting();
}

bool ReplacingFile::open(OpenMode mode) {
    if (isOpen() || (mode & ReadOnly) || !(mode & WriteOnly)) return false;
    failed_ = false;
    if (QFileInfo(path_).fileName().isEmpty()) return Fail(EISDIR);
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        tempPath_ = TemporaryNameBeside(path_);
        // O_EXCL never opens what is already there, a link included; the mode is reduced by
        // the umask as for any new file.
        fd_ = ::open(tempPath_.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode_);
        if (fd_ >= 0) {
            written_ = 0;
            handedToDisk_ = 0;
            Pending().Add(tempPath_);
            return QIODevice::open(mode | Unbuffered);
        }
        if (errno != EEXIST) break;
    }
    const int error = errno;
    tempPath_.clear();
    return Fail(error);
}

qint64 ReplacingFile::readData(char*, qint64) {
    return -1;
}

qint64 ReplacingFile::writeData(const char* data, qint64 size) {
    if (failed_ || fd_ < 0) return -1;
    // A write may take only part of the bytes (a signal, a nearly full disk); the rest follows
    // until the system names a reason for refusing it.
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd_, data + done, static_cast<size_t>(size - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            Fail(n < 0 ? errno : ENOSPC);
            return -1;
        }
        done += n;
    }
    written_ += done;
    if (written_ - handedToDisk_ >= kWritebackStep) {
        // Starts the writeback without waiting for it; only a hint, commit()'s sync still
        // reports whatever the disk refuses.
        ::sync_file_range(fd_, handedToDisk_, written_ - handedToDisk_, SYNC_FILE_RANGE_WRITE);
        handedToDisk_ = written_;
    }
    return done;
}

bool ReplacingFile::commit() {
    if (failed_ || fd_ < 0) return false;
    // Some file systems report a full disk only when the data reaches it: sync first, so the
    // old file is never replaced by one the disk did not take.
    if (::fsync(fd_) != 0) return Fail(errno);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) return Fail(errno);
    if (std::rename(tempPath_.constData(), QFile::encodeName(path_).constData()) != 0) {
        return Fail(errno);
    }
    Pending().Remove(tempPath_);
    tempPath_.clear();
    QIODevice::close();
    return true;
}

void ReplacingFile::cancelWriting() {
    Discard();
    if (isOpen()) QIODevice::close();
}

bool ReplacingFile::Fail(int errorNumber) {
    failed_ = true;
    setErrorString(QStringLiteral("Cannot write %1: %2")
                       .arg(QDir::toNativeSeparators(path_), qt_error_string(errorNumber)));
    Discard();
    return false;
}

void ReplacingFile::Discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!tempPath_.isEmpty()) {
        ::unlink(tempPath_.constData());
        Pending().Remove(tempPath_);
        tempPath_.clear();
    }
}

} // namespace vex::runtime
