#pragma once

#include <QByteArrayView>
#include <QString>

#include <array>
#include <optional>

namespace vex::signature {

// The eight bytes that name a key pair; a signature carries the id of the key that made it.
using KeyId = std::array<unsigned char, 8>;

// A key id as minisign prints it: the eight bytes as a little-endian number in upper-case hex,
// without leading zeros.
QString KeyIdText(const KeyId& keyId);

// A minisign public key: an Ed25519 key and its id.
struct PublicKey {
    KeyId keyId{};
    std::array<unsigned char, 32> key{};

    // The key's base64 line, e.g. "RWSUPbFZ...": the algorithm "Ed", the key id, the key.
    // On failure says why in words the user reads.
    static std::optional<PublicKey> FromBase64(QByteArrayView line, QString& why);

    // A public key file as minisign -G writes it: an untrusted comment line, then the base64 line.
    static std::optional<PublicKey> FromFile(QByteArrayView text, QString& why);
};

// Files larger than this are not key files; they are refused before they are read.
inline constexpr qint64 kMaxKeyFileSize = 4096;

} // namespace vex::signature
