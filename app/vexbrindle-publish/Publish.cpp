#include "app/vexbrindle-publish/Publish.h"

#include "app/vexbrindle-publish/Interruption.h"
#include "app/vexbrindle-publish/Packing.h"
#include "app/vexbrindle-publish/Signing.h"
#include "app/vexbrindle-publish/SiteLayout.h"
#include "app/vexbrindle-publish/SiteTransaction.h"
#include "app/vexbrindle-publish/VersionCheck.h"

#include "platform/runtime/ReplacingFile.h"
#include "platform/signature/FileHash.h"

#include "updater/Version.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>

#include <optional>

namespace vex::publish {

namespace {

using vex::signature::PublicKey;

// What the new release holds besides the files every release has.
struct Plan {
    KeptReleases kept;
    QMap<QString, QString> patchSources; // patch id -> the version it turns into the new one
    QStringList stalePatches;            // patches no kept release needs any more
    std::optional<PublicKey> key;
};

QString SitePath(const Options& o, const QString& relative) {
    return o.site + QLatin1Char('/') + relative;
}

// The current page's version, nullopt for a site without a page; false when a page is there
// but its version cannot be read.
bool ReadCurrentVersion(const Options& o, std::optional<QString>& current, QString& why) {
    const QString page = SitePath(o, site::kPage);
    if (!QFileInfo::exists(page)) return true;
    current = vex::updater::ReadFirstField(page);
    if (current || o.force) return true;
    why = QStringLiteral("Cannot read the version of the current page %1; --force publishes "
                         "over it")
              .arg(page);
    return false;
}

bool CheckVersionOrder(const Options& o, QString& why) {
    std::optional<QString> current;
    if (!ReadCurrentVersion(o, current, why)) return false;
    const QString notNewer = WhyNotNewer(o.version, current);
    if (notNewer.isEmpty() || o.force) return true;
    why = QStringLiteral("Refused: %1 (--force publishes it anyway)").arg(notNewer);
    return false;
}

bool CheckExecutable(const Options& o, QString& why) {
    const QFileInfo info(o.executable);
    if (!info.isFile()) {
        why = QStringLiteral("%1 is not a file").arg(o.executable);
    } else if (!info.isReadable()) {
        why = QStringLiteral("Cannot read %1").arg(o.executable);
    } else if (info.size() == 0) {
        why = QStringLiteral("%1 is empty").arg(o.executable);
    }
    return why.isEmpty();
}

bool CheckKeys(const Options& o, Plan& plan, QString& why) {
    const bool bSiteSigned = QFileInfo::exists(SitePath(o, site::SignatureOf(site::kPage)));
    if (o.secretKey.isEmpty()) {
        // Every client with the vendor's key would refuse an unsigned release.
        if (bSiteSigned && !o.force) {
            why = QStringLiteral("Refused: the site's releases are signed (%1); sign this one "
                                 "with --key, or publish it unsigned with --force")
                      .arg(site::SignatureOf(site::kPage));
            return false;
        }
        return true;
    }
    const QFileInfo secret(o.secretKey);
    if (!secret.isFile() || !secret.isReadable()) {
        why = QStringLiteral("Cannot read the secret key %1").arg(o.secretKey);
        return false;
    }
    plan.key = ReadPublicKey(o.publicKey, why);
    return plan.key.has_value();
}

std::optional<QString> IdOf(const QString& path, QString& why) {
    QFile file(path);
    std::optional<vex::signature::Blake2b256> hash;
    if (file.open(QIODevice::ReadOnly)) hash = vex::signature::HashBlake2b256(file);
    if (!hash) {
        why = QStringLiteral("Cannot read %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(hash->data()), hash->size()).toHex());
}

bool PlanReleases(const Options& o, Plan& plan, QString& why) {
    plan.kept = ChooseKept(KeptVersions(o.site), o.version, o.keep);
    for (const QString& version : plan.kept.stay) {
        const std::optional<QString> id = IdOf(SitePath(o, site::ReleaseExecutable(version)), why);
        if (!id) return false;
        // Releases with the same bytes share one patch, named after the latest of them.
        if (!plan.patchSources.contains(*id)) plan.patchSources.insert(*id, version);
    }
    const QDir patches(SitePath(o, site::kPatches));
    for (const QString& name : patches.entryList(QDir::Files | QDir::Hidden)) {
        if (site::IsPatchName(name) && !plan.patchSources.contains(name.chopped(4))) {
            plan.stalePatches << site::kPatches + QLatin1Char('/') + name;
        }
    }
    return true;
}

bool CopyFile(const QString& from, const QString& to, QString& why) {
    QFile in(from);
    vex::runtime::ReplacingFile out(to);
    if (!OpenSourceAndTarget(from, in, out, why)) return false;
    constexpr qint64 kPiece = 1024 * 1024;
    for (;;) {
        const QByteArray piece = in.read(kPiece);
        if (piece.isEmpty()) break;
        if (out.write(piece) != piece.size()) {
            why = out.errorString();
            return false;
        }
    }
    if (in.error() != QFileDevice::NoError) {
        why = QStringLiteral("Cannot read %1: %2").arg(from, in.errorString());
        return false;
    }
    if (!out.commit()) why = out.errorString();
    return why.isEmpty();
}

bool WriteFile(const QString& path, const QByteArray& bytes, QString& why) {
    vex::runtime::ReplacingFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit()) {
        why = out.errorString();
        return false;
    }
    return true;
}

QString PageComment(const Options& o) {
    QString comment = QStringLiteral("file:") + site::kPage;
    if (o.expires) comment += QStringLiteral(" expires:") + o.expires->toString(Qt::ISODate);
    return comment;
}

QString ExecutableComment(const Options& o) {
    return QStringLiteral("file:%1 version:%2").arg(site::kExecutable, o.version);
}

// Writes every file of the release into the staging folder.
bool Stage(const Options& o, const Plan& plan, SiteTransaction& t, Progress& progress,
           QString& why) {
    const QString exe = t.Staged(site::kExecutable);
    if (!CopyFile(o.executable, exe, why)) return false;
    progress.Begin(QStringLiteral("Compressing %1").arg(site::kExecutable), QFileInfo(exe).size());
    if (!Compress(exe, t.Staged(site::kCompressed), {}, progress, why)) return false;
    for (auto it = plan.patchSources.cbegin(); it != plan.patchSources.cend(); ++it) {
        progress.Begin(QStringLiteral("Making the patch from %1").arg(it.value()),
                       QFileInfo(exe).size());
        if (!Compress(exe, t.Staged(site::PatchFor(it.key())),
                      SitePath(o, site::ReleaseExecutable(it.value())), progress, why)) {
            return false;
        }
    }
    if (!CopyFile(exe, t.Staged(site::ReleaseExecutable(o.version)), why)) return false;
    if (!WriteFile(t.Staged(site::kPage), PageFor(o.version), why)) return false;
    if (!plan.key) return true;
    for (const auto& [name, comment] : {std::pair{site::kExecutable, ExecutableComment(o)},
                                        std::pair{site::kPage, PageComment(o)}}) {
        progress.Note(QStringLiteral("Signing %1 with %2").arg(name, o.secretKey));
        if (!SignWithMinisign(o.secretKey, t.Staged(name), t.Staged(site::SignatureOf(name)),
                              comment, why)) {
            why = QStringLiteral("Signing %1 failed: %2").arg(name, why);
            return false;
        }
    }
    return true;
}

// Checks the staged release as a client would take it.
bool Check(const Options& o, const Plan& plan, SiteTransaction& t, Progress& progress,
           QString& why) {
    progress.Note(QStringLiteral("Checking the release"));
    const QString exe = t.Staged(site::kExecutable);
    if (!DecodesTo(t.Staged(site::kCompressed), {}, exe, why)) {
        why = QStringLiteral("%1 does not decompress to the executable: %2")
                  .arg(site::kCompressed, why);
        return false;
    }
    for (auto it = plan.patchSources.cbegin(); it != plan.patchSources.cend(); ++it) {
        if (!DecodesTo(t.Staged(site::PatchFor(it.key())),
                       SitePath(o, site::ReleaseExecutable(it.value())), exe, why)) {
            why = QStringLiteral("The patch from %1 does not give the executable: %2")
                      .arg(it.value(), why);
            return false;
        }
    }
    if (!plan.key) return true;
    const QList<QByteArray> exeTokens = {"version:" + o.version.toLatin1()};
    QList<QByteArray> pageTokens;
    if (o.expires) pageTokens << "expires:" + o.expires->toString(Qt::ISODate).toLatin1();
    for (const auto& [name, tokens] :
         {std::pair{site::kExecutable, exeTokens}, std::pair{site::kPage, pageTokens}}) {
        if (!CheckSignature(t.Staged(site::SignatureOf(name)), t.Staged(name), name, *plan.key,
                            tokens, why)) {
            why = QStringLiteral("Checking the signatures with %1: %2").arg(o.publicKey, why);
            return false;
        }
    }
    return true;
}

// A signature that would no longer match its file.
bool WithdrawIfThere(const Options& o, SiteTransaction& t, const QString& relative, QString& why) {
    return !QFileInfo::exists(SitePath(o, relative)) || t.Withdraw(relative, why);
}

// Puts the release in place in an order that never shows a client a page whose files are
// missing: the data files first, the executable's signature just before it, what the new
// page no longer stands for out of the way, and the page's signature and the page last.
bool Commit(const Options& o, const Plan& plan, SiteTransaction& t, QString& why) {
    QStringList placed = {site::ReleaseExecutable(o.version)};
    for (const QString& id : plan.patchSources.keys())
        placed << site::PatchFor(id);
    placed << site::kCompressed;
    for (const QString& relative : placed) {
        if (!t.Place(relative, why)) return false;
    }
    const QString exeSignature = site::SignatureOf(site::kExecutable);
    if (!(plan.key ? t.Place(exeSignature, why) : WithdrawIfThere(o, t, exeSignature, why)) ||
        !t.Place(site::kExecutable, why)) {
        return false;
    }
    QStringList removed = plan.stalePatches;
    for (const QString& version : plan.kept.remove)
        removed << site::ReleaseFolder(version);
    for (const QString& relative : removed) {
        if (!t.Withdraw(relative, why)) return false;
    }
    const QString pageSignature = site::SignatureOf(site::kPage);
    if (!(plan.key ? t.Place(pageSignature, why) : WithdrawIfThere(o, t, pageSignature, why)) ||
        !t.Place(site::kPage, why)) {
        return false;
    }

    return true;
}

// What the site holds of the new release, and what it no longer holds.
void Describe(const Options& o, const Plan& plan, Report& report) {
    QList<std::pair<QString, QString>> files = {{site::kPage, {}}};
    if (plan.key) files.append({site::SignatureOf(site::kPage), {}});
    files.append({site::kExecutable, {}});
    if (plan.key) files.append({site::SignatureOf(site::kExecutable), {}});
    files.append({site::kCompressed, {}});
    for (auto it = plan.patchSources.cbegin(); it != plan.patchSources.cend(); ++it)
        files.append({site::PatchFor(it.key()), QStringLiteral("from %1").arg(it.value())});
    files.append({site::ReleaseExecutable(o.version), {}});
    for (const auto& [relative, note] : files)
        report.written.append({relative, QFileInfo(SitePath(o, relative)).size(), note});
    report.removed = plan.stalePatches;
    for (const QString& version : plan.kept.remove)
        report.removed << site::ReleaseFolder(version) + QLatin1Char('/');
}

} // namespace

bool Publish(const Options& o, Progress& progress, Report& report, QString& why) {
    Plan plan;
    if (!QFileInfo(o.site).isDir()) {
        why = QStringLiteral("The site %1 is not a folder").arg(o.site);
        return false;
    }
    SiteTransaction transaction(o.site);
    if (!transaction.Begin(why) || !CheckVersionOrder(o, why) || !CheckExecutable(o, why) ||
        !CheckKeys(o, plan, why) || !PlanReleases(o, plan, why) ||
        !Stage(o, plan, transaction, progress, why) ||
        !Check(o, plan, transaction, progress, why)) {
        progress.Stop();
        return false;
    }
    if (Interrupted()) {
        why = QStringLiteral("Interrupted");
        return false;
    }
    if (!Commit(o, plan, transaction, why)) {
        const QString notUndone = transaction.Rollback();
        if (!notUndone.isEmpty()) why += QStringLiteral("; and then ") + notUndone;
        return false;
    }
    report.warning = transaction.Finish();
    Describe(o, plan, report);
    return true;
}

} // namespace vex::publish
