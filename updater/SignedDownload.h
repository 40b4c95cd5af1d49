#pragma once

#include "updater/modUpdate.h"

#include "platform/inet/Inet.h"
#include "platform/signature/PublicKey.h"

#include <QByteArray>
#include <QDate>
#include <QString>

#include <memory>
#include <optional>

namespace vex::signature {
class HashingSink;
struct SignatureFile;
} // namespace vex::signature

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

// Checks a body against its signature while it is written: the bytes are hashed on their way
// to disk, and the finished file is judged by the whole verdict once more. The body's name
// is the one the signature must name.
class SignatureCheck : public BodyCheck {
  public:
    SignatureCheck(const vex::signature::SignatureFile& signature,
                   const vex::signature::PublicKey& key, QString name);
    ~SignatureCheck() override;

    QIODevice& Sink(QIODevice& file) override;
    QString Refusal(int writtenFd) override;

  private:
    const vex::signature::SignatureFile& signature_;
    const vex::signature::PublicKey& key_;
    QString name_;
    std::unique_ptr<vex::signature::HashingSink> sink_;
};

// What the user reads when a file's bytes are not the ones its signature covers.
QString DoesNotMatch(const QString& name);

// Fetches the signature of the file at sURL (at most 4 KiB) and checks it: the vendor's key
// id, the trusted comment's own signature, the file it names ("file:NAME", NAME the last
// segment of sURL), the demands. On a failure shows one message box with the reason through
// form and returns nullopt; nullopt without a message when the program is ending.
std::optional<vex::signature::SignatureFile>
FetchCheckedSignature(vex::inet::Inet& oInet, const QString& sURL, FormWindow& form,
                      const vex::signature::PublicKey& key, const SignatureDemands& demands);

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
