#include "platform/runtime/RegularFile.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vex::runtime {

namespace {

// Closes the descriptor on every way out.
class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

} // namespace

std::optional<QByteArray> ReadRegularFile(const QString& path, qint64 maxBytes) {
    // O_NONBLOCK makes the open of a FIFO or a device return at once; the type is then checked
    // on what was opened, so nothing can be swapped in between. On a regular file the flag has
    // no effect.
    int fd = -1;
    do {
        fd = ::open(QFile::encodeName(path).constData(),
                    O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    const Descriptor file(fd);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;

    QByteArray bytes;
    while (bytes.size() < maxBytes) {
        const qint64 chunk = std::min<qint64>(maxBytes - bytes.size(), 64 * 1024);
        const qsizetype before = bytes.size();
        bytes.resize(before + chunk);
        const ssize_t n = ::read(fd, bytes.data() + before, static_cast<size_t>(chunk));
        if (n < 0 && errno == EINTR) {
            bytes.resize(before);
            continue;
        }
        if (n < 0) return std::nullopt;
        bytes.resize(before + n);
        if (n == 0) break;
    }
    return bytes;
}

} // namespace vex::runtime
