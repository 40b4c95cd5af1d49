#include "platform/runtime/TrustedPath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vex::runtime {

namespace {

QString UserName(uid_t uid) {
    passwd entry{};
    passwd* found = nullptr;
    char buffer[1024];
    if (::getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) == 0 && found)
        return QString::fromLocal8Bit(found->pw_name);
    return QStringLiteral("%1").arg(uid);
}

// The path with every link resolved, or empty when some part of it does not exist.
QString Resolved(const QString& path) {
    char resolved[PATH_MAX];
    if (!::realpath(QFile::encodeName(path).constData(), resolved)) return {};
    return QFile::decodeName(resolved);
}

QString Kind(const struct stat& st) {
    return S_ISDIR(st.st_mode) ? QStringLiteral("the folder") : QStringLiteral("the file");
}

// Why one resolved path (no links in it) cannot be trusted on its own, or empty.
QString WhyNotTrustedEntry(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
        return QStringLiteral("%1 cannot be examined: %2")
            .arg(QDir::toNativeSeparators(path), qt_error_string(errno));
    }
    if (st.st_uid != ::geteuid() && st.st_uid != 0) {
        return QStringLiteral("%1 %2 belongs to the user %3, not to you or root")
            .arg(Kind(st), QDir::toNativeSeparators(path), UserName(st.st_uid));
    }
    const bool othersMayWrite = (st.st_mode & (S_IWGRP | S_IWOTH)) != 0;
    const bool sticky = S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX) != 0;
    if (othersMayWrite && !sticky) {
        return QStringLiteral("%1 %2 can be written by others than its owner (mode %3)")
            .arg(Kind(st), QDir::toNativeSeparators(path))
            .arg(st.st_mode & 07777, 4, 8, QLatin1Char('0'));
    }
    return {};
}

// The path and each folder above it, from the path up to the root.
QStringList WithAncestors(const QString& path) {
    QStringList chain;
    QString at = path;
    for (;;) {
        chain.append(at);
        const QString up = QFileInfo(at).path();
        if (up == at) break;
        at = up;
    }
    return chain;
}

} // namespace

QString WhyNotTrusted(const QString& path) {
    const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    // Each existing prefix of the path as written, resolved: this reaches the folders that hold
    // the links on the way as well as the folders the links lead to.
    QSet<QString> checked;
    for (const QString& prefix : WithAncestors(absolute)) {
        const QString resolved = Resolved(prefix);
        if (resolved.isEmpty()) continue; // not there (yet): judged by the folders above
        for (const QString& entry : WithAncestors(resolved)) {
            if (checked.contains(entry)) continue;
            checked.insert(entry);
            const QString why = WhyNotTrustedEntry(entry);
            if (!why.isEmpty()) return why;
        }
    }
    return {};
}

} // namespace vex::runtime
