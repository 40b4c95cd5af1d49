#include "platform/signature/HashingSink.h"

namespace vex::signature {

HashingSink::HashingSink(QIODevice& target)
    : target_(target), hashing_([this](const char* data, qint64 size, QString&) {
          hasher_.Update(data, size);
          return true;
      }) {
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    connect(&hashing_, &QIODevice::bytesWritten, this, &QIODevice::bytesWritten);
}

Blake2b512 HashingSink::Final() {
    hashing_.Drain();
    return hasher_.Final();
}

qint64 HashingSink::readData(char*, qint64) {
    return -1;
}

qint64 HashingSink::writeData(const char* data, qint64 size) {
    const qint64 written = target_.write(data, size);
    if (written != size) setErrorString(target_.errorString());
    if (written > 0) hashing_.write(data, written);
    return written;
}

} // namespace vex::signature
