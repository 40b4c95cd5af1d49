#include "platform/runtime/ReplacingFile.h"

#include "platform/runtime/BackgroundRemoval.h"
#include "platform/runtime/OffThread.h"
#include "platform/runtime/TemporaryName.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vex::runtime {

namespace {

// Tries before giving up on finding a free temporary name; a clash is already unlikely once.
constexpr int kNameAttempts = 100;

// Written data is handed to the disk in pieces of this size as it comes, so that the sync in
// commit() finds little left to wait for and does not hold the caller (the window's event
// loop) while a large download reaches the disk.
constexpr qint64 kWritebackStep = 2 * 1024 * 1024;

enum class Claim { Held, TakenAway, Unlockable };

// Locks a temporary file just created at tempPath for its writer. Between the creation and the
// lock, a cleaner may have found the file unlocked and be removing it: the name is then given
// up, and another one is tried.
Claim ClaimNewFile(int fd, const QByteArray& tempPath) {
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        // On a file system without locks the cleaner cannot lock the file either and leaves it.
        if (errno != EWOULDBLOCK) return Claim::Unlockable;
        ::unlink(tempPath.constData());
        return Claim::TakenAway;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_nlink == 0) return Claim::TakenAway;
    return Claim::Held;
}

// Removes folder/entry when it is a regular file of ours that no one holds locked, checking
// on the file it opened and locked that the name still stands for that file.
bool RemoveIfLeftOver(int folderFd, const char* entry) {
    const int fd =
        ::openat(folderFd, entry, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false; // a link (ELOOP), gone meanwhile, or not ours to read
    struct stat opened {};
    struct stat named {};
    const bool removed = ::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) &&
                         opened.st_uid == ::geteuid() && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
                         ::fstatat(folderFd, entry, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
                         named.st_dev == opened.st_dev && named.st_ino == opened.st_ino &&
                         ::unlinkat(folderFd, entry, 0) == 0;
    // Unlocked only now, after the name is gone: a writer that locks it later sees no link.
    // Once the name is gone this close frees the file's pages, which for a large file takes
    // long enough to hold up a window.
    if (removed) {
        CloseInBackground(fd);
    } else {
        ::close(fd);
    }
    return removed;
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
        // the umask as for any new file. Readable too, so the file can be mapped and written
        // through memory.
        fd_ = ::open(tempPath_.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode_);
        if (fd_ >= 0 && ClaimNewFile(fd_, tempPath_) == Claim::TakenAway) {
            ::close(fd_);
            fd_ = -1;
            continue;
        }
        if (fd_ >= 0) {
            written_ = 0;
            handedToDisk_ = 0;
            writeback_ = std::make_unique<BackgroundWriteback>(fd_);
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
    bool retried = false;
    while (done < size) {
        const ssize_t n = ::write(fd_, data + done, static_cast<size_t>(size - done));
        if (n < 0 && errno == EINTR) continue;
        // Space held by files on their way out comes back once they are gone. One may have
        // gone between the refusal and the wait: the write is tried once more in any case.
        if (n < 0 && (errno == ENOSPC || errno == EDQUOT) &&
            (WaitForBackgroundRemovals() || !retried)) {
            retried = true;
            continue;
        }
        if (n <= 0) {
            Fail(n < 0 ? errno : ENOSPC);
            return -1;
        }
        done += n;
    }
    written_ += done;
    if (written_ - handedToDisk_ >= kWritebackStep) {
        // Only a hint: commit()'s sync still reports whatever the disk refuses.
        writeback_->HandUpTo(written_);
        handedToDisk_ = written_;
    }
    return done;
}

bool ReplacingFile::commit(Sync sync) {
    if (failed_ || fd_ < 0) return false;
    writeback_.reset();
    // Some file systems report a full disk only when the data reaches it: sync first, so the
    // old file is never replaced by one the disk did not take.
    const int fd = fd_;
    const auto fsync = [fd] { return ::fsync(fd) == 0 ? 0 : errno; };
    const int error = sync == Sync::Never ? 0 : sync == Sync::Here ? fsync() : CallOffThread(fsync);
    if (error != 0) return Fail(error);
    if (fd_ != fd) return false; // cancelled while the loop turned
    // The lock stays on a second descriptor until the rename, so that no cleaner takes the
    // closed file for a leftover.
    const int lockFd = ::dup(fd_);
    if (lockFd < 0) return Fail(errno);
    fd_ = lockFd;
    if (::close(fd) != 0) return Fail(errno);
    if (std::rename(tempPath_.constData(), QFile::encodeName(path_).constData()) != 0) {
        return Fail(errno);
    }
    fd_ = -1;
    ::close(lockFd);
    Pending().Remove(tempPath_);
    tempPath_.clear();
    QIODevice::close();
    return true;
}

void ReplacingFile::cancelWriting() {
    Discard();
    if (isOpen()) QIODevice::close();
}

int ReplacingFile::RemoveLeftovers(const QString& path) {
    const QFileInfo info(path);
    const QByteArray name = QFile::encodeName(info.fileName());
    if (name.isEmpty()) return 0;
    const int folderFd =
        ::open(QFile::encodeName(info.path()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0) return 0;
    const int listFd = ::dup(folderFd);
    DIR* folder = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
    if (folder == nullptr && listFd >= 0) ::close(listFd);
    std::vector<QByteArray> candidates;
    if (folder != nullptr) {
        while (const dirent* entry = ::readdir(folder)) {
            const QByteArray entryName(entry->d_name);
            if (IsTemporaryNameOf(entryName, name)) candidates.push_back(entryName);
        }
        ::closedir(folder);
    }
    int removed = 0;
    for (const QByteArray& candidate : candidates)
        removed += RemoveIfLeftOver(folderFd, candidate.constData()) ? 1 : 0;
    ::close(folderFd);
    return removed;
}

bool ReplacingFile::Fail(int errorNumber) {
    failed_ = true;
    setErrorString(QStringLiteral("Cannot write %1: %2")
                       .arg(QDir::toNativeSeparators(path_), qt_error_string(errorNumber)));
    Discard();
    return false;
}

void ReplacingFile::Discard() {
    writeback_.reset();
    // The name goes before the lock, as in RemoveLeftovers().
    if (!tempPath_.isEmpty()) {
        ::unlink(tempPath_.constData());
        Pending().Remove(tempPath_);
        tempPath_.clear();
    }
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

} // namespace vex::runtime
