#pragma once

#include "platform/signature/PublicKey.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <array>
#include <optional>

namespace vex::signature {

// Anything larger is not a signature file; it is refused before it is parsed.
inline constexpr qint64 kMaxSignatureFileSize = 4096;

// A minisign signature file, four lines: an untrusted comment, base64 of (algorithm, key id,
// signature), "trusted comment: " and its text, base64 of the global signature (which signs the
// signature followed by the trusted comment's text).
//
// Only the algorithm "ED" is read: the signature covers the file's BLAKE2b-512 hash, as minisign
// makes it by default. The algorithm field itself is signed by nothing, so a file that says "Ed"
// (the bytes themselves are signed, minisign -l) could be a relabelled "ED" signature whose
// "file" is the 64 bytes of a hash; such files are refused outright.
struct SignatureFile {
    KeyId keyId{};
    std::array<unsigned char, 64> signature{};
    QByteArray trustedComment;
    std::array<unsigned char, 64> globalSignature{};

    // On failure says why in words the user reads ("it has 3 lines instead of 4").
    static std::optional<SignatureFile> Parse(QByteArrayView text, QString& why);

    // The trusted comment split at blanks and tabs.
    QList<QByteArray> TrustedTokens() const;

    // True when the trusted comment names the file it was made for: a token "file:NAME", as
    // minisign writes into its default trusted comment.
    bool NamesFile(QByteArrayView name) const;
};

} // namespace vex::signature
