#include "tests/support/SmallDisk.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/mount.h>

namespace vex::testing {

SmallDisk::SmallDisk(qint64 bytes) {
    if (!dir_.isValid()) {
        skipReason_ = QStringLiteral("no temporary folder: %1").arg(dir_.errorString());
        return;
    }
    const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0755";
    if (::mount("tmpfs", QFile::encodeName(dir_.path()).constData(), "tmpfs", 0,
                options.constData()) != 0) {
        skipReason_ = QStringLiteral("cannot mount a %1-byte tmpfs on %2: %3")
                          .arg(bytes)
                          .arg(dir_.path(), QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    mounted_ = true;
}

bool SmallDisk::MakeReadOnly() {
    return mounted_ && ::mount("tmpfs", QFile::encodeName(dir_.path()).constData(), "tmpfs",
                               MS_REMOUNT | MS_RDONLY, nullptr) == 0;
}

SmallDisk::~SmallDisk() {
    // A lazy unmount: a process of the test that still holds a file open cannot keep the
    // mount behind.
    if (mounted_) ::umount2(QFile::encodeName(dir_.path()).constData(), MNT_DETACH);
}

} // namespace vex::testing
