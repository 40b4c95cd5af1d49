#include "tests/support/Minisign.h"

#include <QDir>
#include <QFile>
#include <QProcess>

namespace vex::testing {

namespace {

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

MinisignKeys::MinisignKeys() {
    QProcess minisign;
    minisign.start(QStringLiteral("minisign"),
                   {"-G", "-W", "-p", dir_.filePath("key.pub"), "-s", dir_.filePath("key.sec")});
    if (!minisign.waitForFinished(30'000) || minisign.exitCode() != 0) {
        error_ = QStringLiteral("minisign -G failed: ") + minisign.errorString() +
                 QString::fromLocal8Bit(minisign.readAllStandardError());
    }
}

QByteArray MinisignKeys::PublicKeyFile() const {
    return ReadFile(dir_.filePath("key.pub"));
}

QByteArray MinisignKeys::PublicKeyLine() const {
    return PublicKeyFile().split('\n').value(1).trimmed();
}

QByteArray MinisignKeys::Sign(const QString& fileName, const QByteArray& content,
                              const QString& trustedComment, bool legacy) const {
    QDir(dir_.path()).mkdir("signed");
    const QString path = dir_.filePath("signed/" + fileName);
    QFile::remove(path + ".minisig");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return {};
    file.write(content);
    file.close();
    if (SignFile(path, trustedComment, legacy) != 0) return {};
    return ReadFile(path + ".minisig");
}

int MinisignKeys::SignFile(const QString& path, const QString& trustedComment, bool legacy) const {
    QStringList args = {"-S", "-s", dir_.filePath("key.sec"), "-m", path};
    if (legacy) args << "-l";
    if (!trustedComment.isEmpty()) args << "-t" << trustedComment;
    QProcess minisign;
    minisign.start(QStringLiteral("minisign"), args);
    if (!minisign.waitForFinished(60'000)) return -1;
    return minisign.exitStatus() == QProcess::NormalExit ? minisign.exitCode() : -1;
}

} // namespace vex::testing
