#include "platform/signature/verify.h"

#include <sodium.h>

namespace vex::signature {

namespace {

bool SignatureHolds(const std::array<unsigned char, 64>& signature, const PublicKey& key,
                    const unsigned char* message, std::size_t size) {
    if (sodium_init() < 0) return false; // fail closed
    return crypto_sign_verify_detached(signature.data(), message, size, key.key.data()) == 0;
}

} // namespace

bool TrustedCommentIsGenuine(const SignatureFile& file, const PublicKey& key) {
    QByteArray signed_(reinterpret_cast<const char*>(file.signature.data()),
                       static_cast<qsizetype>(file.signature.size()));
    signed_.append(file.trustedComment);
    return SignatureHolds(file.globalSignature, key,
                          reinterpret_cast<const unsigned char*>(signed_.constData()),
                          static_cast<std::size_t>(signed_.size()));
}

bool SignsHash(const SignatureFile& file, const PublicKey& key, const Blake2b512& hash) {
    return SignatureHolds(file.signature, key, hash.data(), hash.size());
}

bool Verifies(const SignatureFile& file, const PublicKey& key, QByteArrayView name,
              const Blake2b512& hash) {
    return file.keyId == key.keyId && file.NamesFile(name) && TrustedCommentIsGenuine(file, key) &&
           SignsHash(file, key, hash);
}

} // namespace vex::signature
