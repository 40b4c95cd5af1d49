#include "platform/signature/verify.h"

#include <QFile>

#include <sodium.h>

namespace vex::signature {

namespace {

bool Verifies(const std::array<unsigned char, 64>& signature, const PublicKey& key,
              const unsigned char* message, std::size_t size) {
    if (sodium_init() < 0) return false; // fail closed
    return crypto_sign_verify_detached(signature.data(), message, size, key.key.data()) == 0;
}

} // namespace

bool TrustedCommentIsGenuine(const SignatureFile& file, const PublicKey& key) {
    QByteArray signed_(reinterpret_cast<const char*>(file.signature.data()),
                       static_cast<qsizetype>(file.signature.size()));
    signed_.append(file.trustedComment);
    return Verifies(file.globalSignature, key,
                    reinterpret_cast<const unsigned char*>(signed_.constData()),
                    static_cast<std::size_t>(signed_.size()));
}

bool SignsHash(const SignatureFile& file, const PublicKey& key, const Blake2b512& hash) {
    return file.algorithm == Algorithm::Prehashed &&
           Verifies(file.signature, key, hash.data(), hash.size());
}

bool SignsBytes(const SignatureFile& file, const PublicKey& key, QByteArrayView bytes) {
    return file.algorithm == Algorithm::Legacy &&
           Verifies(file.signature, key, reinterpret_cast<const unsigned char*>(bytes.data()),
                    static_cast<std::size_t>(bytes.size()));
}

std::optional<bool> SignsWrittenFile(const SignatureFile& file, const PublicKey& key, int fd,
                                     QString& why) {
    // A descriptor open for writing only cannot be mapped; a second, read-only one on the same
    // open file can, whatever name the file has (or none yet).
    QFile reader(QStringLiteral("/proc/self/fd/%1").arg(fd));
    if (fd < 0 || !reader.open(QIODevice::ReadOnly)) {
        why = fd < 0 ? QStringLiteral("the file is not open") : reader.errorString();
        return std::nullopt;
    }
    const qint64 size = reader.size();
    if (size == 0) return SignsBytes(file, key, {});
    const uchar* bytes = reader.map(0, size);
    if (!bytes) {
        why = reader.errorString();
        return std::nullopt;
    }
    const bool signs = SignsBytes(file, key, QByteArrayView(bytes, size));
    reader.unmap(const_cast<uchar*>(bytes));
    return signs;
}

} // namespace vex::signature
