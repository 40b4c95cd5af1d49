#pragma once

#include <QList>
#include <QString>

namespace vex::publish {

// Where everything lies in the site folder (served as <server>/vexbrindle/), by paths relative
// to it. The names are the ones the updater asks for.
namespace site {

inline const QString kPage = QStringLiteral("update.html");
inline const QString kExecutable = QStringLiteral("DrixaBilling2.exe");
inline const QString kCompressed = QStringLiteral("DrixaBilling2.exe.zst");
inline const QString kPatches = QStringLiteral("patches");
inline const QString kReleases = QStringLiteral("releases");

// A file's minisign signature beside it.
QString SignatureOf(const QString& file);

// The patch that turns the executable whose BLAKE2b-256 is `id` (lower-case hex) into the
// current one.
QString PatchFor(const QString& id);

// True for a name patches/ holds for some id: 64 lower-case hex digits and ".zst".
bool IsPatchName(const QString& fileName);

// The folder of a kept release, and its executable.
QString ReleaseFolder(const QString& version);
QString ReleaseExecutable(const QString& version);

} // namespace site

// The versions of the releases a site keeps: each folder under releases/ that holds an
// executable.
QStringList KeptVersions(const QString& siteFolder);

// Which kept releases stay beside a new one when `keep` releases are kept in all: the new one
// and the keep - 1 others whose versions order last (re-publishing a version replaces its
// release). The others are to be removed.
struct KeptReleases {
    QStringList stay;   // besides the new one, the latest first
    QStringList remove; // the rest
};
KeptReleases ChooseKept(const QStringList& versions, const QString& newVersion, int keep);

} // namespace vex::publish
