#pragma once

#include <QString>
#include <QStringList>

namespace vex::runtime {

// The application title: the title of a message box that names none.
inline const QString kAppTitle = QStringLiteral("Vexbrindle");

// The updater's own version number (the build's project version).
struct ProgramVersion {
    int major;
    int minor;
    int revision;
};

ProgramVersion OwnVersion();

// major.minor.revision in decimal without leading zeros, e.g. "1.0.0".
QString OwnVersionText();

// The folder that holds the running executable, without a trailing separator (except at the
// root). Needs a QCoreApplication.
QString ProgramFolder();

// Where a bare program name is found: the program's folder first, then the working directory,
// then each folder of PATH in order. Only an existing, executable regular file counts. A name
// that holds a separator is taken as a path as it stands. Empty when nothing is found.
QString ResolveProgram(const QString& name, const QString& programFolder,
                       const QString& workingDirectory, const QStringList& pathFolders);

// PATH of the environment split into folders (empty entries dropped).
QStringList PathFolders();

// Starts a program by its name without waiting for it, resolving a bare name as
// ResolveProgram does with the current program folder, working directory and PATH. The window
// style (2 = minimised with the focus) has no portable meaning here and is not applied. Returns
// false when the program could not be found or started.
bool StartProgram(const QString& name, int windowStyle);

} // namespace vex::runtime
