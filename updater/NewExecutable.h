#pragma once

#include "updater/FormWindow.h"

#include "platform/inet/Inet.h"
#include "platform/signature/PublicKey.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

namespace vex::updater {

// Largest patch or compressed file, and largest content either may decode to.
inline constexpr qint64 kCompressedFormCap = qint64{1} << 30;
// Largest window a patch or a compressed file may ask of the decoder (2 GiB: a patch's window
// spans the old file and the new one, each at most the cap).
inline constexpr int kMaxFormWindowLog = 31;

// Where the new executable comes from and where it goes.
struct NewExecutableSource {
    QString programFolder;
    QString executableUrl; // ".../DrixaBilling2.exe"; its forms lie beside it
    // The vendor's key and the version its signature must name; no key: forms 1 and 2 are
    // checked by their content checksum, form 3 by its announced length.
    std::optional<vex::signature::PublicKey> key;
    QByteArray versionToken;
    std::function<bool()> ending;
};

// The address of the patch from the executable whose BLAKE2b-256 is idHex, and of the whole
// executable compressed.
QString PatchUrlOf(const QString& executableUrl, const QString& idHex);
QString CompressedUrlOf(const QString& executableUrl);

// Fetches the new executable into the program's folder by the first form the server has: a
// patch against the executable on disk, the whole file compressed, the whole file as it is.
// Only a failure of the last is the run's failure: one message box through form, false. A
// failure of the others is noted through form's Note() and the next form is tried. False
// without a message when the program is ending.
bool FetchNewExecutableForms(vex::inet::Inet& oInet, FormWindow& form,
                             const NewExecutableSource& source);

// Removes the partial data of the executable's whole-file forms.
void DiscardPartialExecutables(const QString& programFolder, const QString& executableUrl);

// Removes what a run killed while discarding that partial data left behind.
void RemoveLeftoverPartialExecutables(const QString& programFolder, const QString& executableUrl);

} // namespace vex::updater
