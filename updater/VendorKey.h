#pragma once

#include "platform/signature/PublicKey.h"

#include <QString>

#include <optional>

namespace vex::updater {

// The vendor's public key file, in the Update folder beside ver.dat.
inline const QString kKeyFileName = QStringLiteral("vexbrindle.pub");

// The vendor's public key compiled into the program (VEXBRINDLE_PUBLIC_KEY): its base64 line,
// empty when the build has none.
QString BuiltInPublicKey();

// What the search for the vendor's key found.
struct VendorKey {
    // No key and no failure: updates are not signed and the run goes on as it always has.
    std::optional<vex::signature::PublicKey> key;
    // A key is configured but cannot be used; the text the user reads. Never the same as no key.
    QString failure;
};

// The built-in key when there is one (it is then the only key), otherwise the key file
// Update/vexbrindle.pub under programFolder when anything is at that path. The key file, and the
// folders that hold it or would hold it, must be in the hands of the user running the program
// or of root (vex::runtime::WhyNotTrusted); otherwise that is a failure, key file or not. Reads
// nothing from the network.
VendorKey FindVendorKey(const QString& builtInKey, const QString& programFolder);

} // namespace vex::updater
