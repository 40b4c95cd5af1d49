// The whole verdict on a signed file. Two files are signed once with a fixed key, in the form the
// vendor's tool writes: the update page and the executable, each with a trusted comment naming
// it. Each input then offers a signature (one of the two, relabelled, or its own bytes), a file
// name and candidate bytes (the other file, the 64 bytes of a hash, or its own), and whatever
// verifies must be the very bytes signed, under the very name they were signed as.
//
// The first byte of the input steers:
//   bit 0      the executable's signature instead of the page's
//   bit 1      its algorithm relabelled "Ed" (the bytes themselves signed)
//   bit 2      the signature text taken from the input instead (first NUL-ended part)
//   bits 3-4   the name asked for: 0 the page's, 1 the executable's, 2-3 the input's (next part)
//   bits 5-6   the candidate: 0 the input's remaining bytes, 1 the page, 2 the executable,
//              3 the BLAKE2b-512 hash of the file that signature was made for
#include "fuzz/check.h"

#include "platform/signature/Blake2b.h"
#include "platform/signature/PublicKey.h"
#include "platform/signature/SignatureFile.h"
#include "platform/signature/verify.h"

#include <QByteArray>
#include <QString>

#include <sodium.h>

#include <cstddef>
#include <cstdint>

using vex::signature::Blake2b;
using vex::signature::Blake2b512;
using vex::signature::PublicKey;
using vex::signature::SignatureFile;

namespace {

struct SignedFile {
    QByteArray name;
    QByteArray bytes;
    QByteArray signatureText;
};

QByteArray Bytes(const unsigned char* data, std::size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

Blake2b512 Hash(const QByteArray& bytes) {
    Blake2b hasher;
    hasher.Update(bytes.constData(), bytes.size());
    return hasher.Final();
}

// The fixed key pair: a key made from a fixed seed, so every run signs the same.
struct Signer {
    PublicKey key;
    unsigned char secret[crypto_sign_SECRETKEYBYTES];

    Signer() {
        FUZZ_CHECK(sodium_init() >= 0, "libsodium did not start");
        unsigned char seed[crypto_sign_SEEDBYTES];
        for (std::size_t i = 0; i < sizeof seed; ++i)
            seed[i] = static_cast<unsigned char>(i * 7 + 1);
        crypto_sign_seed_keypair(key.key.data(), secret, seed);
        for (std::size_t i = 0; i < key.keyId.size(); ++i)
            key.keyId[i] = static_cast<unsigned char>(0xA0 + i);
    }

    // A signature file as minisign writes it by default: "ED", the hash of the file signed.
    QByteArray Sign(const QByteArray& bytes, const QByteArray& trustedComment) const {
        const Blake2b512 hash = Hash(bytes);
        unsigned char signature[64];
        crypto_sign_detached(signature, nullptr, hash.data(), hash.size(), secret);
        const QByteArray line =
            "ED" + Bytes(key.keyId.data(), key.keyId.size()) + Bytes(signature, sizeof signature);
        const QByteArray global = Bytes(signature, sizeof signature) + trustedComment;
        unsigned char globalSignature[64];
        crypto_sign_detached(globalSignature, nullptr,
                             reinterpret_cast<const unsigned char*>(global.constData()),
                             static_cast<unsigned long long>(global.size()), secret);
        return "untrusted comment: signature from the fuzz key\n" + line.toBase64() +
               "\ntrusted comment: " + trustedComment + "\n" +
               Bytes(globalSignature, sizeof globalSignature).toBase64() + "\n";
    }
};

const Signer& TheSigner() {
    static const Signer signer;
    return signer;
}

const SignedFile& Page() {
    static const SignedFile page = [] {
        const QByteArray bytes = "1.2.0\r\n";
        return SignedFile{"update.html", bytes,
                          TheSigner().Sign(bytes, "timestamp:1\tfile:update.html\thashed")};
    }();
    return page;
}

const SignedFile& Executable() {
    static const SignedFile exe = [] {
        QByteArray bytes(3000, '\0');
        for (qsizetype i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<char>((i * 31 + 7) & 0xff);
        return SignedFile{"DrixaBilling2.exe", bytes,
                          TheSigner().Sign(bytes, "file:DrixaBilling2.exe version:1.2.0")};
    }();
    return exe;
}

QByteArray RelabelledEd(const QByteArray& text) {
    QList<QByteArray> lines = text.split('\n');
    if (lines.size() < 2) return text;
    QByteArray decoded = QByteArray::fromBase64(lines.value(1));
    if (decoded.size() >= 2) decoded[1] = 'd';
    lines[1] = decoded.toBase64();
    return lines.join('\n');
}

// Takes the input's next part, up to a NUL or its end.
QByteArray TakePart(QByteArray& rest) {
    const qsizetype end = rest.indexOf('\0');
    const QByteArray part = end < 0 ? rest : rest.left(end);
    rest = end < 0 ? QByteArray() : rest.mid(end + 1);
    return part;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The harness itself is sound: each signed file verifies as itself.
    static const bool signedFilesVerify = [] {
        for (const SignedFile* file : {&Page(), &Executable()}) {
            QString why;
            const std::optional<SignatureFile> signature =
                SignatureFile::Parse(file->signatureText, why);
            if (!signature || !vex::signature::Verifies(*signature, TheSigner().key, file->name,
                                                        Hash(file->bytes)))
                return false;
        }
        return true;
    }();
    FUZZ_CHECK(signedFilesVerify, "a signed file does not verify as itself");
    if (size == 0) return 0;
    const unsigned steer = data[0];
    QByteArray rest = Bytes(data + 1, size - 1);

    const SignedFile& madeFor = (steer & 1) ? Executable() : Page();
    QByteArray text = (steer & 4) ? TakePart(rest) : madeFor.signatureText;
    if (steer & 2) text = RelabelledEd(text);

    QByteArray name;
    switch ((steer >> 3) & 3) {
    case 0:
        name = Page().name;
        break;
    case 1:
        name = Executable().name;
        break;
    default:
        name = TakePart(rest);
        break;
    }

    QByteArray candidate;
    switch ((steer >> 5) & 3) {
    case 0:
        candidate = rest;
        break;
    case 1:
        candidate = Page().bytes;
        break;
    case 2:
        candidate = Executable().bytes;
        break;
    default: {
        const Blake2b512 hash = Hash(madeFor.bytes);
        candidate = Bytes(hash.data(), hash.size());
        break;
    }
    }

    QString why;
    const std::optional<SignatureFile> signature = SignatureFile::Parse(text, why);
    FUZZ_CHECK(signature.has_value() || !why.isEmpty(), "a signature refused without a reason");
    if (!signature) return 0;
    if (!vex::signature::Verifies(*signature, TheSigner().key, name, Hash(candidate))) return 0;

    // Something verified: it must be one of the two signed files, under its own name.
    const bool isPage = name == Page().name && candidate == Page().bytes;
    const bool isExecutable = name == Executable().name && candidate == Executable().bytes;
    FUZZ_CHECK(isPage || isExecutable, "bytes other than a signed file verified");
    return 0;
}
