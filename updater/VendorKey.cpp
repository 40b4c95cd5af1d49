#include "updater/VendorKey.h"

#include "platform/runtime/TrustedPath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace vex::updater {

using vex::signature::PublicKey;

QString BuiltInPublicKey() {
    return QStringLiteral(VEXBRINDLE_PUBLIC_KEY).trimmed();
}

namespace {

// Why the key file cannot be read, or empty with its bytes in text.
QString ReadKeyFile(const QFileInfo& info, QByteArray& text) {
    // Only a regular file is read: a FIFO or a device in its place could block the program.
    if (info.isDir()) return QStringLiteral("it is a folder, not a file");
    if (!info.exists()) return QStringLiteral("it is a link to a file that does not exist");
    if (!info.isFile()) return QStringLiteral("it is not a regular file");
    QFile file(info.filePath());
    if (!file.open(QIODevice::ReadOnly)) return file.errorString();
    text = file.read(vex::signature::kMaxKeyFileSize + 1);
    if (file.error() != QFileDevice::NoError) return file.errorString();
    return {};
}

} // namespace

VendorKey FindVendorKey(const QString& builtInKey, const QString& programFolder) {
    QString why;
    if (!builtInKey.isEmpty()) {
        std::optional<PublicKey> key = PublicKey::FromBase64(builtInKey.toLatin1(), why);
        if (!key)
            return {std::nullopt, QStringLiteral("The vendor's key built into Vexbrindle "
                                                 "cannot be used: %1")
                                      .arg(why)};
        return {key, {}};
    }

    const QFileInfo info(programFolder + QStringLiteral("/Update/") + kKeyFileName);
    // Whoever may write the key file or a folder above it decides which key is trusted, or
    // whether there is one at all: the absence of a key proves nothing in their hands either.
    why = vex::runtime::WhyNotTrusted(info.filePath());
    if (!why.isEmpty()) {
        return {std::nullopt, QStringLiteral("The vendor's key file %1 cannot be trusted: %2")
                                  .arg(QDir::toNativeSeparators(info.absoluteFilePath()), why)};
    }
    if (!info.exists() && !info.isSymLink()) return {};
    QByteArray text;
    why = ReadKeyFile(info, text);
    std::optional<PublicKey> key;
    if (why.isEmpty()) key = PublicKey::FromFile(text, why);
    if (!key) {
        return {std::nullopt, QStringLiteral("The vendor's key file %1 cannot be used: %2")
                                  .arg(QDir::toNativeSeparators(info.absoluteFilePath()), why)};
    }
    return {key, {}};
}

} // namespace vex::updater
