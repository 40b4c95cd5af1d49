#pragma once

#include "tests/support/Minisign.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace vex::testing {

class NginxServer;

// The four files of a signed release on the update server; a file that is nullopt is not served.
struct ServedRelease {
    std::optional<QByteArray> page, pageSig, exe, exeSig;

    // Puts the files under the server's /vexbrindle/ and removes those not served.
    void PutOn(const NginxServer& server) const;
};

// One row of the signed-update table: what the server offers, the key file the installation
// holds, and what the user reads; an empty message means the update goes through. A message
// may name the program's folder as %1.
struct SignedCase {
    const char* name; // the fault the row catches
    ServedRelease served;
    QByteArray keyFile;
    QString message;
    // Changes the installation (its program folder given) once it is laid out: who owns what.
    std::function<void(const QString& programFolder)> arrange{};
    // The change gives files to another user, which only root can do.
    bool needsRoot = false;

    // The message with the program's folder filled in.
    QString MessageFor(const QString& programFolder) const;
};

// The installed version the rows assume, and the server's.
inline const QByteArray kSignedInstalledVersion = "1.0.0\r\n";
inline const QByteArray kSignedServerVersion = "1.2.0";

// The new executable every row serves (or a changed copy of it).
QByteArray SignedExecutable();

// The table: valid ED and Ed releases, and every alteration the updater must refuse. vendor is
// the installed key's pair, other any second pair; today is the UTC day the run sees.
QList<SignedCase> SignedCases(const MinisignKeys& vendor, const MinisignKeys& other, QDate today);

} // namespace vex::testing
