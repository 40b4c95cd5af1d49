#include "app/vexbrindle-publish/SiteLayout.h"

#include "updater/Version.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace vex::publish {

namespace site {

QString SignatureOf(const QString& file) {
    return file + QStringLiteral(".minisig");
}

QString PatchFor(const QString& id) {
    return kPatches + QLatin1Char('/') + id + QStringLiteral(".zst");
}

bool IsPatchName(const QString& fileName) {
    constexpr qsizetype kIdDigits = 64;
    if (!fileName.endsWith(QStringLiteral(".zst"))) return false;
    const QStringView id = QStringView(fileName).chopped(4);
    return id.size() == kIdDigits && std::all_of(id.begin(), id.end(), [](QChar c) {
               return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
                      (c >= QLatin1Char('a') && c <= QLatin1Char('f'));
           });
}

QString ReleaseFolder(const QString& version) {
    return kReleases + QLatin1Char('/') + version;
}

QString ReleaseExecutable(const QString& version) {
    return ReleaseFolder(version) + QLatin1Char('/') + kExecutable;
}

} // namespace site

QStringList KeptVersions(const QString& siteFolder) {
    const QDir releases(siteFolder + QLatin1Char('/') + site::kReleases);
    QStringList versions;
    for (const QString& name :
         releases.entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot)) {
        if (QFileInfo(releases.filePath(name + QLatin1Char('/') + site::kExecutable)).isFile()) {
            versions << name;
        }
    }
    return versions;
}

KeptReleases ChooseKept(const QStringList& versions, const QString& newVersion, int keep) {
    QStringList others = versions;
    others.removeAll(newVersion);
    std::sort(others.begin(), others.end(), [](const QString& a, const QString& b) {
        return vex::updater::VersionText(a) > vex::updater::VersionText(b);
    });
    const qsizetype stay = std::clamp<qsizetype>(keep - 1, 0, others.size());
    return {others.mid(0, stay), others.mid(stay)};
}

} // namespace vex::publish
