#include "app/vexbrindle-publish/SiteTransaction.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vex::publish {

namespace {

// Hidden, so that a listing of the site does not show it; served or not, it holds nothing a
// client asks for.
const QString kStagingPrefix = QStringLiteral(".vexbrindle-publish-");
const QString kNewFiles = QStringLiteral("new");
const QString kOldFiles = QStringLiteral("old");

QByteArray Native(const QString& path) {
    return QFile::encodeName(path);
}

QString Reason(int errorNumber) {
    return qt_error_string(errorNumber);
}

bool Exists(const QString& path) {
    struct stat st {};
    return ::lstat(Native(path).constData(), &st) == 0;
}

void SyncFolder(const QString& path) {
    const int fd = ::open(Native(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// A second name for the file at `from`, so that it outlives a rename over its first name; a
// copy on file systems without hard links.
bool KeepAside(const QString& from, const QString& to, QString& why) {
    if (::link(Native(from).constData(), Native(to).constData()) == 0) return true;
    const int error = errno;
    if (error != EPERM && error != EXDEV && error != EMLINK && error != EOPNOTSUPP) {
        why = Reason(error);
        return false;
    }
    QFile file(from);
    if (file.copy(to)) return true;
    why = file.errorString();
    return false;
}

} // namespace

SiteTransaction::SiteTransaction(QString siteFolder) : site_(std::move(siteFolder)) {}

SiteTransaction::~SiteTransaction() {
    if (!finished_) Rollback();
    if (lockFd_ >= 0) ::close(lockFd_);
}

QString SiteTransaction::InSite(const QString& relative) const {
    return site_ + QLatin1Char('/') + relative;
}

bool SiteTransaction::Begin(QString& why) {
    lockFd_ = ::open(Native(site_).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (lockFd_ < 0) {
        why = QStringLiteral("Cannot open the site folder %1: %2").arg(site_, Reason(errno));
        return false;
    }
    if (::flock(lockFd_, LOCK_EX | LOCK_NB) != 0) {
        why = errno == EWOULDBLOCK
                  ? QStringLiteral("Another vexbrindle-publish is publishing into %1").arg(site_)
                  : QStringLiteral("Cannot lock the site folder %1: %2").arg(site_, Reason(errno));
        return false;
    }
    // Holding the lock, any staging folder is one that an interrupted run left behind.
    const QDir site(site_);
    for (const QString& name :
         site.entryList({kStagingPrefix + QLatin1Char('*')}, QDir::Dirs | QDir::Hidden)) {
        QDir(site.filePath(name)).removeRecursively();
    }
    staging_ = std::make_unique<QTemporaryDir>(site.filePath(kStagingPrefix + "XXXXXX"));
    if (!staging_->isValid() || !QDir(staging_->path()).mkdir(kNewFiles) ||
        !QDir(staging_->path()).mkdir(kOldFiles)) {
        why = QStringLiteral("Cannot make a staging folder in %1: %2")
                  .arg(site_, staging_->errorString());
        return false;
    }
    return true;
}

QString SiteTransaction::Staged(const QString& relative) const {
    const QString path = staging_->filePath(kNewFiles + QLatin1Char('/') + relative);
    QDir().mkpath(QFileInfo(path).path());
    return path;
}

QString SiteTransaction::KeptAsidePath() {
    return staging_->filePath(kOldFiles + QLatin1Char('/') + QString::number(keptAside_++));
}

bool SiteTransaction::MakeFoldersOnTheWay(const QString& relative, QString& why) {
    const QStringList parts = relative.split(QLatin1Char('/'));
    QString folder;
    for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
        folder += (folder.isEmpty() ? QString() : QStringLiteral("/")) + parts[i];
        if (QFileInfo(InSite(folder)).isDir()) continue;
        if (::mkdir(Native(InSite(folder)).constData(), 0777) != 0) {
            why =
                QStringLiteral("Cannot make the folder %1: %2").arg(InSite(folder), Reason(errno));
            return false;
        }
        changes_.append({Change::Kind::FolderMade, folder, {}});
    }
    return true;
}

bool SiteTransaction::Place(const QString& relative, QString& why) {
    if (!MakeFoldersOnTheWay(relative, why)) return false;
    const QString target = InSite(relative);
    QString keptAside;
    if (Exists(target)) {
        keptAside = KeptAsidePath();
        QString reason;
        if (!KeepAside(target, keptAside, reason)) {
            why = QStringLiteral("Cannot keep the current %1 aside: %2").arg(target, reason);
            return false;
        }
    }
    if (std::rename(Native(Staged(relative)).constData(), Native(target).constData()) != 0) {
        why = QStringLiteral("Cannot put %1 in place: %2").arg(target, Reason(errno));
        if (!keptAside.isEmpty()) QFile::remove(keptAside);
        return false;
    }
    changes_.append({Change::Kind::Placed, relative, keptAside});
    return true;
}

bool SiteTransaction::Withdraw(const QString& relative, QString& why) {
    const QString keptAside = KeptAsidePath();
    if (std::rename(Native(InSite(relative)).constData(), Native(keptAside).constData()) != 0) {
        why = QStringLiteral("Cannot remove %1: %2").arg(InSite(relative), Reason(errno));
        return false;
    }
    changes_.append({Change::Kind::Withdrawn, relative, keptAside});
    return true;
}

QString SiteTransaction::Rollback() {
    QStringList failures;
    while (!changes_.isEmpty()) {
        const Change change = changes_.takeLast();
        const QByteArray target = Native(InSite(change.relative));
        bool undone = true;
        switch (change.kind) {
        case Change::Kind::FolderMade:
            undone = ::rmdir(target.constData()) == 0;
            break;
        case Change::Kind::Placed:
            undone = change.keptAside.isEmpty() ? ::unlink(target.constData()) == 0
                                                : std::rename(Native(change.keptAside).constData(),
                                                              target.constData()) == 0;
            break;
        case Change::Kind::Withdrawn:
            undone = std::rename(Native(change.keptAside).constData(), target.constData()) == 0;
            break;
        }
        if (!undone) {
            failures << QStringLiteral("cannot restore %1: %2")
                            .arg(InSite(change.relative), Reason(errno));
        }
    }
    // Only what was put back is safe to remove with the staging folder.
    if (staging_ && !failures.isEmpty()) {
        staging_->setAutoRemove(false);
        failures << QStringLiteral("what stood there is kept in %1").arg(staging_->path());
    }
    staging_.reset();
    finished_ = true;
    return failures.join(QStringLiteral("; "));
}

QString SiteTransaction::Finish() {
    SyncChangedFolders();
    finished_ = true;
    changes_.clear();
    const QString path = staging_ ? staging_->path() : QString();
    const bool removed = !staging_ || staging_->remove();
    staging_.reset();
    if (removed) return {};
    return QStringLiteral("Cannot remove the staging folder %1; remove it by hand").arg(path);
}

void SiteTransaction::SyncChangedFolders() const {
    // A rename is durable only once its folder is synced: a release reported as published must
    // not vanish with a power cut.
    QSet<QString> folders;
    for (const Change& change : changes_)
        folders.insert(QFileInfo(InSite(change.relative)).path());
    for (const QString& folder : folders)
        SyncFolder(folder);
}

} // namespace vex::publish
