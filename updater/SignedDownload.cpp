#include "updater/SignedDownload.h"

#include "updater/FormWindow.h"

#include "platform/runtime/program.h"

#include "platform/signature/HashingSink.h"
#include "platform/signature/SignatureFile.h"
#include "platform/signature/verify.h"

#include <memory>
#include <optional>
#include <utility>

namespace vex::updater {

using vex::signature::PublicKey;
using vex::signature::SignatureFile;

namespace {

const QByteArray kExpiresPrefix = "expires:";

// Why the trusted comment fails the demands, or empty.
QString UnmetDemand(const SignatureFile& signature, const SignatureDemands& demands,
                    const QString& name) {
    // A signature made for another of the vendor's files never stands in for this one.
    if (!signature.NamesFile(name.toLatin1())) {
        return QStringLiteral("The signature of %1 is not for this file: its trusted comment "
                              "lacks \"file:%1\"")
            .arg(name);
    }
    const QList<QByteArray> tokens = signature.TrustedTokens();
    if (!demands.requiredToken.isEmpty() && !tokens.contains(demands.requiredToken)) {
        return QStringLiteral("The signature of %1 is not for this update: its trusted comment "
                              "lacks \"%2\"")
            .arg(name, QString::fromLatin1(demands.requiredToken));
    }
    if (!demands.bHonourExpiry) return {};
    for (const QByteArray& token : tokens) {
        if (!token.startsWith(kExpiresPrefix)) continue;
        const QString day = QString::fromLatin1(token.mid(kExpiresPrefix.size()));
        const QDate expires = QDate::fromString(day, QStringLiteral("yyyy-MM-dd"));
        if (!expires.isValid()) {
            return QStringLiteral("The signature of %1 gives an unreadable expiry date: \"%2\"")
                .arg(name, QString::fromLatin1(token));
        }
        // The day named is the last day on which the file is good.
        if (expires < demands.todayUtc) {
            return QStringLiteral("%1 has expired: its signature was valid until %2")
                .arg(name, day);
        }
    }
    return {};
}

// Fetches and reads the signature of the file at sURL; on failure sets why, or leaves it empty
// when the fetch was abandoned because the program is ending.
std::optional<SignatureFile> FetchSignature(vex::inet::Inet& oInet, const QString& sURL,
                                            QString& why) {
    const QString name = FileNameOf(SignatureUrlOf(sURL));
    QByteArray text;
    try {
        text = oInet.OpenURL(SignatureUrlOf(sURL), vex::inet::icByteArray,
                             vex::signature::kMaxSignatureFileSize);
    } catch (const vex::inet::InetError& error) {
        if (error.Abandoned()) return std::nullopt;
        if (error.kind() != vex::inet::InetError::Kind::TooLarge) {
            why = QStringLiteral("%1: %2").arg(name, error.Description());
            return std::nullopt;
        }
        why = QStringLiteral("%1 is not a valid signature file: it is larger than the %2 bytes "
                             "a signature file may have")
                  .arg(name)
                  .arg(vex::signature::kMaxSignatureFileSize);
        return std::nullopt;
    }
    QString parseWhy;
    std::optional<SignatureFile> signature = SignatureFile::Parse(text, parseWhy);
    if (!signature) {
        why = QStringLiteral("%1 is not a valid signature file: %2").arg(name, parseWhy);
    }
    return signature;
}

} // namespace

QString DoesNotMatch(const QString& name) {
    return QStringLiteral("The signature of %1 does not match the vendor's key").arg(name);
}

SignatureCheck::SignatureCheck(const SignatureFile& signature, const PublicKey& key, QString name)
    : signature_(signature), key_(key), name_(std::move(name)) {}

SignatureCheck::~SignatureCheck() = default;

QIODevice& SignatureCheck::Sink(QIODevice& file) {
    sink_ = std::make_unique<vex::signature::HashingSink>(file);
    return *sink_;
}

QString SignatureCheck::Refusal(int) {
    const bool signs =
        sink_ && vex::signature::Verifies(signature_, key_, name_.toLatin1(), sink_->Final());
    return signs ? QString() : DoesNotMatch(name_);
}

QString SignatureUrlOf(const QString& sURL) {
    return sURL + QStringLiteral(".minisig");
}

std::optional<SignatureFile> FetchCheckedSignature(vex::inet::Inet& oInet, const QString& sURL,
                                                   FormWindow& form, const PublicKey& key,
                                                   const SignatureDemands& demands) {
    const QString name = FileNameOf(sURL);
    QString failure;
    std::optional<SignatureFile> signature = FetchSignature(oInet, sURL, failure);
    if (signature && signature->keyId != key.keyId) {
        failure =
            QStringLiteral("%1 was made with another key (key ID %2), not the vendor's "
                           "(key ID %3)")
                .arg(FileNameOf(SignatureUrlOf(sURL)), vex::signature::KeyIdText(signature->keyId),
                     vex::signature::KeyIdText(key.keyId));
    } else if (signature && !vex::signature::TrustedCommentIsGenuine(*signature, key)) {
        failure = DoesNotMatch(name);
    } else if (signature) {
        failure = UnmetDemand(*signature, demands, name);
    }
    if (!failure.isEmpty()) {
        form.MsgBox(failure, vbOKOnly, vex::runtime::kAppTitle);
        return std::nullopt;
    }
    return signature; // nullopt: abandoned, the program is ending
}

bool DownloadSignedFile(vex::inet::Inet& oInet, const QString& sURL, const QString& sFolder,
                        FormWindow& form, const DownloadOptions& options, const PublicKey& key,
                        const SignatureDemands& demands) {
    if (oInet.StillExecuting()) return false;
    const std::optional<SignatureFile> signature =
        FetchCheckedSignature(oInet, sURL, form, key, demands);
    if (!signature) return false;
    SignatureCheck check(*signature, key, FileNameOf(sURL));
    DownloadOptions checked = options;
    checked.check = &check;
    return DownloadFile(oInet, sURL, sFolder, form, checked);
}

} // namespace vex::updater
