#include "platform/signature/HashingSink.h"

namespace vex::signature {

HashingSink::HashingSink(QIODevice& target, Blake2b& hasher) : target_(target), hasher_(hasher) {
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

qint64 HashingSink::readData(char*, qint64) {
    return -1;
}

qint64 HashingSink::writeData(const char* data, qint64 size) {
    const qint64 written = target_.write(data, size);
    if (written > 0) hasher_.Update(data, written);
    if (written != size) setErrorString(target_.errorString());
    return written;
}

} // namespace vex::signature
