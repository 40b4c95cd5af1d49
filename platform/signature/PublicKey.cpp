#include "platform/signature/PublicKey.h"

#include "platform/signature/encoding.h"

#include <cstring>

namespace vex::signature {

namespace {

constexpr std::size_t kKeyBytes = 2 + 8 + 32;
constexpr char kUntrustedComment[] = "untrusted comment:";

} // namespace

QString KeyIdText(const KeyId& keyId) {
    quint64 value = 0;
    for (auto byte = keyId.rbegin(); byte != keyId.rend(); ++byte)
        value = (value << 8) | *byte;
    return QString::number(value, 16).toUpper();
}

std::optional<PublicKey> PublicKey::FromBase64(QByteArrayView line, QString& why) {
    const std::optional<QByteArray> bytes = detail::DecodeBase64(line.trimmed(), kKeyBytes);
    if (!bytes) {
        why = QStringLiteral("its key is not valid base64 of %1 bytes").arg(kKeyBytes);
        return std::nullopt;
    }
    const QByteArrayView algorithm = QByteArrayView(*bytes).first(2);
    if (algorithm != "Ed") {
        why = QStringLiteral("its key is for the unknown algorithm %1, not Ed25519")
                  .arg(detail::AlgorithmText(algorithm));
        return std::nullopt;
    }
    PublicKey key;
    std::memcpy(key.keyId.data(), bytes->constData() + 2, key.keyId.size());
    std::memcpy(key.key.data(), bytes->constData() + 10, key.key.size());
    return key;
}

std::optional<PublicKey> PublicKey::FromFile(QByteArrayView text, QString& why) {
    if (text.size() > kMaxKeyFileSize) {
        why = QStringLiteral("it is larger than the %1 bytes a key file may have")
                  .arg(kMaxKeyFileSize);
        return std::nullopt;
    }
    const QList<QByteArrayView> lines = detail::SplitLines(text);
    if (lines.size() != 2) {
        why = QStringLiteral("it has %1 lines instead of 2").arg(lines.size());
        return std::nullopt;
    }
    if (!lines[0].startsWith(kUntrustedComment)) {
        why = QStringLiteral("its first line is not an untrusted comment");
        return std::nullopt;
    }
    return FromBase64(lines[1], why);
}

} // namespace vex::signature
