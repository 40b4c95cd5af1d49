#pragma once

#include "platform/signature/PublicKey.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <array>
#include <optional>

namespace vex::signature {

// How the signature covers the file: "ED" signs the file's BLAKE2b-512 hash (minisign's
// default), "Ed" signs the file's bytes themselves (minisign -l).
enum class Algorithm { Prehashed, Legacy };

// Anything larger is not a signature file; it is refused before it is parsed.
inline constexpr qint64 kMaxSignatureFileSize = 4096;

// A minisign signature file, four lines: an untrusted comment, base64 of (algorithm, key id,
// signature), "trusted comment: " and its text, base64 of the global signature (which signs the
// signature followed by the trusted comment's text).
struct SignatureFile {
    Algorithm algorithm = Algorithm::Prehashed;
    KeyId keyId{};
    std::array<unsigned char, 64> signature{};
    QByteArray trustedComment;
    std::array<unsigned char, 64> globalSignature{};

    // On failure says why in words the user reads ("it has 3 lines instead of 4").
    static std::optional<SignatureFile> Parse(QByteArrayView text, QString& why);

    // The trusted comment split at blanks and tabs.
    QList<QByteArray> TrustedTokens() const;
};

} // namespace vex::signature
