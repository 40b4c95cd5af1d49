#include "platform/signature/SignatureFile.h"

#include "platform/signature/encoding.h"

#include <cstring>

namespace vex::signature {

namespace {

constexpr std::size_t kSignatureLineBytes = 2 + 8 + 64;
constexpr std::size_t kGlobalSignatureBytes = 64;
constexpr char kUntrustedComment[] = "untrusted comment:";
constexpr char kTrustedComment[] = "trusted comment: ";
constexpr char kFileTokenPrefix[] = "file:";

} // namespace

std::optional<SignatureFile> SignatureFile::Parse(QByteArrayView text, QString& why) {
    if (text.size() > kMaxSignatureFileSize) {
        why = QStringLiteral("it is larger than the %1 bytes a signature file may have")
                  .arg(kMaxSignatureFileSize);
        return std::nullopt;
    }
    const QList<QByteArrayView> lines = detail::SplitLines(text);
    if (lines.size() != 4) {
        why = QStringLiteral("it has %1 lines instead of 4").arg(lines.size());
        return std::nullopt;
    }
    if (!lines[0].startsWith(kUntrustedComment)) {
        why = QStringLiteral("its first line is not an untrusted comment");
        return std::nullopt;
    }
    const std::optional<QByteArray> signature = detail::DecodeBase64(lines[1], kSignatureLineBytes);
    if (!signature) {
        why = QStringLiteral("its signature is not valid base64 of %1 bytes")
                  .arg(kSignatureLineBytes);
        return std::nullopt;
    }
    if (!lines[2].startsWith(kTrustedComment)) {
        why = QStringLiteral("its third line is not a trusted comment");
        return std::nullopt;
    }
    const std::optional<QByteArray> global = detail::DecodeBase64(lines[3], kGlobalSignatureBytes);
    if (!global) {
        why = QStringLiteral("its comment signature is not valid base64 of %1 bytes")
                  .arg(kGlobalSignatureBytes);
        return std::nullopt;
    }

    SignatureFile file;
    const QByteArrayView algorithm = QByteArrayView(*signature).first(2);
    if (algorithm == "Ed") {
        why = QStringLiteral("it signs the file's bytes themselves (algorithm \"Ed\", minisign "
                             "-l); only signatures of the file's hash (minisign's default, "
                             "\"ED\") are accepted");
        return std::nullopt;
    }
    if (algorithm != "ED") {
        why = QStringLiteral("it uses the unknown signature algorithm %1")
                  .arg(detail::AlgorithmText(algorithm));
        return std::nullopt;
    }
    std::memcpy(file.keyId.data(), signature->constData() + 2, file.keyId.size());
    std::memcpy(file.signature.data(), signature->constData() + 10, file.signature.size());
    file.trustedComment = lines[2].sliced(sizeof kTrustedComment - 1).toByteArray();
    std::memcpy(file.globalSignature.data(), global->constData(), file.globalSignature.size());
    return file;
}

QList<QByteArray> SignatureFile::TrustedTokens() const {
    QList<QByteArray> tokens;
    for (const QByteArray& piece : QByteArray(trustedComment).replace('\t', ' ').split(' ')) {
        if (!piece.isEmpty()) tokens.append(piece);
    }
    return tokens;
}

bool SignatureFile::NamesFile(QByteArrayView name) const {
    return !name.isEmpty() &&
           TrustedTokens().contains(QByteArray(kFileTokenPrefix) + name.toByteArray());
}

} // namespace vex::signature
