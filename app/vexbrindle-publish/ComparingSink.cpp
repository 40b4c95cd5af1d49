#include "app/vexbrindle-publish/ComparingSink.h"

#include <QByteArray>

#include <cstring>

namespace vex::publish {

ComparingSink::ComparingSink(QIODevice& reference) : reference_(reference) {
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

bool ComparingSink::Same() {
    if (differs_) return false;
    char extra = 0;
    if (reference_.read(&extra, 1) != 0) {
        differs_ = true;
        setErrorString(
            QStringLiteral("it ends after %1 bytes, before the original does").arg(compared_));
    }
    return !differs_;
}

qint64 ComparingSink::readData(char*, qint64) {
    return -1;
}

qint64 ComparingSink::writeData(const char* data, qint64 size) {
    if (differs_) return -1;
    const QByteArray expected = reference_.read(size);
    const qint64 common = qMin<qint64>(expected.size(), size);
    const char* at = data;
    if (std::memcmp(expected.constData(), data, static_cast<size_t>(common)) != 0) {
        while (*at == expected.at(at - data))
            ++at;
        setErrorString(
            QStringLiteral("it differs from the original at byte %1").arg(compared_ + (at - data)));
    } else if (common < size) {
        setErrorString(
            QStringLiteral("it is longer than the original's %1 bytes").arg(compared_ + common));
    } else {
        compared_ += size;
        return size;
    }
    differs_ = true;
    return -1;
}

} // namespace vex::publish
