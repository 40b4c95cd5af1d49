#include "platform/runtime/program.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

namespace vex::runtime {

ProgramVersion OwnVersion() {
    return {VEX_VERSION_MAJOR, VEX_VERSION_MINOR, VEX_VERSION_PATCH};
}

QString OwnVersionText() {
    const ProgramVersion v = OwnVersion();
    return QStringLiteral("%1.%2.%3").arg(v.major).arg(v.minor).arg(v.revision);
}

QString ProgramFolder() {
    return QDir::cleanPath(QCoreApplication::applicationDirPath());
}

static bool IsRunnable(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

QString ResolveProgram(const QString& name, const QString& programFolder,
                       const QString& workingDirectory, const QStringList& pathFolders) {
    if (name.isEmpty()) return {};
    if (name.contains(QLatin1Char('/'))) {
        const QString path = QDir(workingDirectory).absoluteFilePath(name);
        return IsRunnable(path) ? path : QString();
    }
    QStringList folders{programFolder, workingDirectory};
    folders += pathFolders;
    for (const QString& folder : folders) {
        if (folder.isEmpty()) continue;
        const QString candidate = QDir(folder).absoluteFilePath(name);
        if (IsRunnable(candidate)) return QDir::cleanPath(candidate);
    }
    return {};
}

QStringList PathFolders() {
    return qEnvironmentVariable("PATH").split(QDir::listSeparator(), Qt::SkipEmptyParts);
}

bool StartProgram(const QString& name, int /*windowStyle*/) {
    const QString path = ResolveProgram(name, ProgramFolder(), QDir::currentPath(), PathFolders());
    if (path.isEmpty()) return false;
    return QProcess::startDetached(path, {}, QDir::currentPath());
}

} // namespace vex::runtime
