#pragma once

#include "platform/signature/PublicKey.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace vex::publish {

// Signs the file at `path` with the minisign tool, writing `signaturePath`, with the trusted
// comment given. minisign asks for the key's password on the terminal (standard input and
// error are the tool's own); what it prints goes to standard error, since standard output
// holds the tool's summary. False with why when minisign cannot be run or fails.
bool SignWithMinisign(const QString& secretKey, const QString& path, const QString& signaturePath,
                      const QString& trustedComment, QString& why);

// The public key file at `path`, read as the updater reads it.
std::optional<vex::signature::PublicKey> ReadPublicKey(const QString& path, QString& why);

// The updater's own verdict on a signature: the file at `signaturePath` verifies the file at
// `path` under its site name `name` with `key`, and its trusted comment holds each of
// `requiredTokens`. False with why otherwise.
bool CheckSignature(const QString& signaturePath, const QString& path, const QString& name,
                    const vex::signature::PublicKey& key, const QList<QByteArray>& requiredTokens,
                    QString& why);

} // namespace vex::publish
