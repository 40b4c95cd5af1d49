#include "app/vexbrindle-publish/Signing.h"

#include "app/vexbrindle-publish/Interruption.h"

#include "platform/signature/FileHash.h"
#include "platform/signature/SignatureFile.h"
#include "platform/signature/verify.h"

#include <QFile>

#include <cerrno>
#include <csignal>
#include <ctime>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace vex::publish {

using vex::signature::PublicKey;
using vex::signature::SignatureFile;

namespace {

// The contents of a small file, refused when larger than `limit` bytes.
std::optional<QByteArray> ReadSmallFile(const QString& path, qint64 limit, QString& why) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        why = QStringLiteral("Cannot read %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    QByteArray bytes = file.read(limit + 1);
    if (bytes.size() > limit) {
        why = QStringLiteral("%1 is larger than the %2 bytes such a file may have")
                  .arg(path)
                  .arg(limit);
        return std::nullopt;
    }
    return bytes;
}

// Runs a program and waits for it: standard input and error the tool's own, standard output
// sent to standard error. Returns its exit status, or -1 with why.
int RunWithOutputOnStderr(const std::vector<std::string>& args, QString& why) {
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
    pid_t pid = -1;
    const int error = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        why = QStringLiteral("Cannot run %1: %2").arg(argv[0], qt_error_string(error));
        return -1;
    }
    bool bAsked = false;
    int status = 0;
    // The signal may be delivered to any of the tool's threads, so a blocking waitpid is not
    // sure to return early: poll, and look at the flag between polls.
    for (;;) {
        const pid_t ended = ::waitpid(pid, &status, WNOHANG);
        if (ended == pid) break;
        if (ended < 0 && errno != EINTR) {
            why = QStringLiteral("Lost %1: %2").arg(argv[0], qt_error_string(errno));
            return -1;
        }
        // A terminal's Ctrl+C reaches minisign as well; a signal sent to this tool alone must
        // still end the wait for a password.
        if (Interrupted() && !bAsked) {
            ::kill(pid, SIGTERM);
            bAsked = true;
        }
        const timespec pause{0, 20'000'000};
        ::nanosleep(&pause, nullptr);
    }
    if (Interrupted()) {
        why = QStringLiteral("Interrupted");
        return -1;
    }
    if (WIFSIGNALED(status)) {
        why = QStringLiteral("%1 was ended by signal %2").arg(argv[0]).arg(WTERMSIG(status));
        return -1;
    }
    return WEXITSTATUS(status);
}

} // namespace

bool SignWithMinisign(const QString& secretKey, const QString& path, const QString& signaturePath,
                      const QString& trustedComment, QString& why) {
    const std::vector<std::string> args = {
        "minisign", "-S",
        "-s",       QFile::encodeName(secretKey).toStdString(),
        "-m",       QFile::encodeName(path).toStdString(),
        "-x",       QFile::encodeName(signaturePath).toStdString(),
        "-t",       trustedComment.toStdString()};
    const int status = RunWithOutputOnStderr(args, why);
    if (status == 0) return true;
    if (status > 0) why = QStringLiteral("minisign failed (exit status %1)").arg(status);
    return false;
}

std::optional<PublicKey> ReadPublicKey(const QString& path, QString& why) {
    const std::optional<QByteArray> text =
        ReadSmallFile(path, vex::signature::kMaxKeyFileSize, why);
    if (!text) return std::nullopt;
    QString parseWhy;
    std::optional<PublicKey> key = PublicKey::FromFile(*text, parseWhy);
    if (!key) why = QStringLiteral("%1 is not a minisign public key: %2").arg(path, parseWhy);
    return key;
}

bool CheckSignature(const QString& signaturePath, const QString& path, const QString& name,
                    const PublicKey& key, const QList<QByteArray>& requiredTokens, QString& why) {
    const std::optional<QByteArray> text =
        ReadSmallFile(signaturePath, vex::signature::kMaxSignatureFileSize, why);
    if (!text) return false;
    QString parseWhy;
    const std::optional<SignatureFile> signature = SignatureFile::Parse(*text, parseWhy);
    if (!signature) {
        why = QStringLiteral("the signature of %1 cannot be read: %2").arg(name, parseWhy);
        return false;
    }
    if (signature->keyId != key.keyId) {
        why = QStringLiteral("the signature of %1 was made with key ID %2, but the public key "
                             "has key ID %3: the public key is not the secret key's pair")
                  .arg(name, vex::signature::KeyIdText(signature->keyId),
                       vex::signature::KeyIdText(key.keyId));
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        why = QStringLiteral("Cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    const std::optional<vex::signature::Blake2b512> hash = vex::signature::HashBlake2b512(file);
    if (!hash) {
        why = QStringLiteral("Cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    if (!vex::signature::Verifies(*signature, key, name.toLatin1(), *hash)) {
        why = QStringLiteral("the signature of %1 does not verify with the public key").arg(name);
        return false;
    }
    const QList<QByteArray> tokens = signature->TrustedTokens();
    for (const QByteArray& token : requiredTokens) {
        if (!tokens.contains(token)) {
            why = QStringLiteral("the signature of %1 lacks \"%2\" in its trusted comment")
                      .arg(name, QString::fromLatin1(token));
            return false;
        }
    }
    return true;
}

} // namespace vex::publish
