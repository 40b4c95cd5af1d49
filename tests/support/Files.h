#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

namespace vex::testing {

// The file's bytes; "<missing>" when it cannot be read, so that comparing a missing file with
// expected bytes fails and says why.
inline QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Makes `path` a file holding `bytes`; false when it could not be written whole.
inline bool WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

// What the folder holds at its top, sorted by name: hidden entries, folders, and system entries
// (dangling links, FIFOs, sockets) included, so that nothing left behind goes unseen.
inline QStringList Entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot |
                                  QDir::System);
}

} // namespace vex::testing
