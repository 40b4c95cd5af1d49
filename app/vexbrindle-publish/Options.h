#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

#include <optional>
#include <stdexcept>

namespace vex::publish {

// A command line that cannot be used: the message is the one line the user reads.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// What one run of the tool is asked to do.
struct Options {
    bool help = false;
    bool showVersion = false; // the tool's own version, not a release's

    QString site;                 // the folder served as <server>/vexbrindle/
    QString version;              // the release's version, the page's first field
    QString secretKey;            // minisign secret key; empty: the release is not signed
    QString publicKey;            // its public key; derived from secretKey unless given
    std::optional<QDate> expires; // the last day on which the signed page is good
    int keep = 5;                 // releases kept under releases/, the new one included
    bool force = false;           // publish a version that does not order after the current one
    QString executable;           // the new DrixaBilling2.exe
};

// The fewest and most releases --keep accepts.
inline constexpr int kMinKeep = 1;
inline constexpr int kMaxKeep = 1000;

// Parses the arguments after the program name. Throws UsageError for an unknown or repeated
// option, a missing or malformed value, a missing required option, or a public key that
// cannot be told from the secret key's name.
Options ParseOptions(const QStringList& args);

// The public key beside a secret key: the same path with ".key" or ".sec" replaced by ".pub";
// empty when the name ends otherwise.
QString PublicKeyBeside(const QString& secretKey);

extern const char* const kUsage;

} // namespace vex::publish
