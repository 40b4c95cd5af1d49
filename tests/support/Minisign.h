#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace vex::testing {

// A throw-away, password-less minisign key pair made by the real minisign tool, so that the
// signatures the tests check are the tool's own format, not ours.
class MinisignKeys {
  public:
    MinisignKeys();

    // Empty when the key pair was made; otherwise what went wrong.
    QString Error() const { return error_; }

    // The public key file as minisign wrote it, and its base64 line alone.
    QByteArray PublicKeyFile() const;
    QByteArray PublicKeyLine() const;

    // The .minisig file for content saved as fileName. An empty trustedComment keeps
    // minisign's default one (which names the file: "file:NAME"); legacy signs the bytes
    // themselves ("Ed", minisign -l) instead of their hash ("ED").
    QByteArray Sign(const QString& fileName, const QByteArray& content,
                    const QString& trustedComment = {}, bool legacy = false) const;

    // Signs the file at path, writing path + ".minisig"; returns minisign's exit code.
    int SignFile(const QString& path, const QString& trustedComment = {},
                 bool legacy = false) const;

  private:
    QTemporaryDir dir_;
    QString error_;
};

} // namespace vex::testing
