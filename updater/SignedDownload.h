#pragma once

#include "updater/modUpdate.h"

#include "platform/inet/Inet.h"
#include "platform/signature/PublicKey.h"

#include <QByteArray>
#include <QDate>
#include <QString>

namespace vex::updater {

class FormWindow;

// What a signed file must show besides a signature by the vendor's key.
struct SignatureDemands {
    // A token its trusted comment must hold, e.g. "version:1.2.0"; empty: none.
    QByteArray requiredToken{};
    // Refuse it once a day named by "expires:YYYY-MM-DD" in its trusted comment is past.
    bool bHonourExpiry = false;
    // The current day in UTC, against which expiry is judged.
    QDate todayUtc{};
};

// The address of a file's signature: the file's address followed by ".minisig".
QString SignatureUrlOf(const QString& sURL);

// DownloadFile for a file the vendor signs. Fetches its signature first (at most 4 KiB) and
// checks it: the vendor's key id, the trusted comment's own signature, the file it names
// ("file:NAME", NAME the last segment of sURL), the demands. Then fetches
// the file itself through DownloadFile, hashing it as it streams in, and lets it take its
// target's place only when the signature covers it. Every failed check is a failed fetch: one
// message box with the reason through form, the target untouched, false. Returns false without
// a message when oInet is busy or the program is ending.
bool DownloadSignedFile(vex::inet::Inet& oInet, const QString& sURL, const QString& sFolder,
                        FormWindow& form, const DownloadOptions& options,
                        const vex::signature::PublicKey& key, const SignatureDemands& demands);

} // namespace vex::updater
