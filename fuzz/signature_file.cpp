// minisign public key and signature files. The input is a key file, a NUL byte, a signature
// file, a NUL byte and the signed bytes. Every refusal says why; whatever parses can be checked
// against the bytes without harm.
#include "fuzz/check.h"

#include "platform/signature/Blake2b.h"
#include "platform/signature/PublicKey.h"
#include "platform/signature/SignatureFile.h"
#include "platform/signature/verify.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstddef>
#include <cstdint>

using vex::signature::PublicKey;
using vex::signature::SignatureFile;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QList<QByteArray> parts = input.split('\0');
    const QByteArray keyText = parts.value(0);
    const QByteArray signatureText = parts.value(1);
    const QByteArray signedBytes =
        parts.size() > 2 ? input.mid(keyText.size() + signatureText.size() + 2) : QByteArray();

    QString why;
    std::optional<PublicKey> key = PublicKey::FromFile(keyText, why);
    FUZZ_CHECK(key.has_value() || !why.isEmpty(), "a key file refused without a reason");
    why.clear();
    if (!key) key = PublicKey::FromBase64(keyText, why);
    FUZZ_CHECK(key.has_value() || !why.isEmpty(), "a key line refused without a reason");

    why.clear();
    const std::optional<SignatureFile> signature = SignatureFile::Parse(signatureText, why);
    FUZZ_CHECK(signature.has_value() || !why.isEmpty(), "a signature refused without a reason");
    if (!signature) return 0;
    for (const QByteArray& token : signature->TrustedTokens())
        FUZZ_CHECK(!token.isEmpty() && !token.contains(' ') && !token.contains('\t'),
                   "a trusted token holds a blank");
    if (!key) return 0;
    vex::signature::TrustedCommentIsGenuine(*signature, *key);
    vex::signature::Blake2b hasher;
    hasher.Update(signedBytes.constData(), signedBytes.size());
    const vex::signature::Blake2b512 hash = hasher.Final();
    vex::signature::SignsHash(*signature, *key, hash);
    vex::signature::Verifies(*signature, *key, "update.html", hash);
    return 0;
}
