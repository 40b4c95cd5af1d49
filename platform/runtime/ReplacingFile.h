#pragma once

#include "platform/runtime/BackgroundWriteback.h"

#include <QIODevice>
#include <QString>

#include <memory>

#include <sys/types.h>

namespace vex::runtime {

// A file written in full before it takes the place of whatever stands at its path. The bytes
// go to a new temporary file in the same folder, and commit() renames that file over the path.
// The rename replaces the directory entry itself: a symbolic link at the path (dangling or not)
// is replaced by the new regular file and never written through, and the new file gets the
// mode a newly created file gets (`mode` less the umask), never the old file's or the link
// target's. A write, sync or rename that fails leaves the old entry untouched and removes the
// temporary file; errorString() then reads "Cannot write PATH: REASON", the reason from the
// system's error code (for example "No space left on device"). A program that ends through
// exit() while the file is unfinished leaves no temporary file either.
//
// The temporary file is ".NAME.XXXXXXXX.part" beside NAME (eight lowercase hexadecimal digits).
// A program killed while writing leaves it behind; RemoveLeftovers() takes such files away. To
// tell them from one that another running program is writing right now, the writer holds an
// exclusive advisory lock (flock) on its temporary file from creating it until it has been
// renamed or removed: the lock goes with the writer's process, however it ends, and needs no
// guess from ages or process ids.
class ReplacingFile : public QIODevice {
  public:
    explicit ReplacingFile(QString path, mode_t mode = 0666);
    ~ReplacingFile() override;

    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // Write-only: creates the temporary file. Any other mode fails.
    bool open(OpenMode mode) override;
    enum class Sync {
        Here,           // the caller waits for the disk
        WhileLoopTurns, // on a thread of its own, the caller's event loop turning meanwhile
        // Not at all, for a file that only saves work and is checked before use: after a
        // power cut the path may hold the old content or an empty file.
        Never,
    };
    // Syncs the temporary file to disk and renames it over the path; false on any failure.
    bool commit(Sync sync = Sync::Here);
    // Drops what was written and removes the temporary file; the path is left as it was.
    void cancelWriting();

    // Removes the temporary files that earlier writers of `path` left behind when they were
    // killed, and those that RemoveInBackground() had renamed `path` to: regular files of this
    // process's user named as above and locked by no one. Never
    // anything else: not a link (nor what it points to), a folder, another name, or a file that
    // is being written. Returns how many were removed.
    static int RemoveLeftovers(const QString& path);

    // True once a system call has failed; errorString() says which and why.
    bool HasFailed() const { return failed_; }

    bool isSequential() const override { return true; }
    const QString& fileName() const { return path_; }
    // The temporary file's descriptor while it is open, for reading and writing (a check may
    // read what was written, a decoder may map it and write through memory); -1 otherwise.
    int handle() const { return fd_; }

  protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

  private:
    // Records the failure of the last system call (errno) and drops the temporary file.
    bool Fail(int errorNumber);
    void Discard();

    QString path_;
    mode_t mode_;
    QByteArray tempPath_; // in the local encoding, as the system calls take it
    int fd_ = -1;
    bool failed_ = false;
    qint64 written_ = 0;      // bytes in the temporary file
    qint64 handedToDisk_ = 0; // of which the disk was asked to start writing
    std::unique_ptr<BackgroundWriteback> writeback_;
};

} // namespace vex::runtime
