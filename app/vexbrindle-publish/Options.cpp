// The command line of vexbrindle-publish.
#include "app/vexbrindle-publish/Options.h"

#include <QDateTime>
#include <QSet>

namespace vex::publish {

const char* const kUsage =
    "Usage: vexbrindle-publish --site DIR --version VERSION [--key SECRET_KEY_FILE]\n"
    "                          [--public-key PUBLIC_KEY_FILE] [--expires YYYY-MM-DD]\n"
    "                          [--keep N] [--force] NEW_EXECUTABLE\n"
    "Publishes NEW_EXECUTABLE as Drixa Billing VERSION in DIR, the folder the web server serves\n"
    "as <server>/vexbrindle/: the update page, the executable, its compressed form and patches\n"
    "from the releases kept in DIR/releases/. Nothing becomes visible before all of it is\n"
    "written and checked; a failure leaves DIR as it was.\n"
    "\n"
    "  --site DIR          the folder to publish into\n"
    "  --version VERSION   the version the page announces; it must order after the current\n"
    "                      page's version, character by character\n"
    "  --key FILE          sign the page and the executable with this minisign secret key\n"
    "  --public-key FILE   the key's public key (default: FILE with .key or .sec replaced by\n"
    "                      .pub), with which the signatures are checked\n"
    "  --expires DATE      the last day (UTC) on which clients accept the signed page\n"
    "  --keep N            releases kept for patches, the new one included (default 5)\n"
    "  --force             publish even when VERSION does not order after the current one\n"
    "  --help              show this help and exit\n"
    "  --version           (alone) show the tool's version and exit\n"
    "\n"
    "Exit status: 0 published, 1 failed or refused (DIR unchanged), 2 bad usage.\n";

namespace {

UsageError Usage(const QString& message) {
    return UsageError(message.toStdString());
}

int ParseKeep(const QString& text) {
    bool ok = false;
    const int keep = text.toInt(&ok, 10);
    if (!ok || keep < kMinKeep || keep > kMaxKeep) {
        throw Usage(QStringLiteral("--keep: '%1' is not a number from %2 to %3")
                        .arg(text)
                        .arg(kMinKeep)
                        .arg(kMaxKeep));
    }
    return keep;
}

QDate ParseDay(const QString& text) {
    const QDate day = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
    if (!day.isValid())
        throw Usage(QStringLiteral("--expires: '%1' is not a date YYYY-MM-DD").arg(text));
    return day;
}

} // namespace

QString PublicKeyBeside(const QString& secretKey) {
    for (const QString& suffix : {QStringLiteral(".key"), QStringLiteral(".sec")}) {
        if (secretKey.endsWith(suffix) && secretKey.size() > suffix.size()) {
            return secretKey.chopped(suffix.size()) + QStringLiteral(".pub");
        }
    }
    return {};
}

Options ParseOptions(const QStringList& args) {
    Options o;
    // Alone, --version asks for the tool's version; anywhere else it names the release.
    if (args == QStringList{QStringLiteral("--version")}) {
        o.showVersion = true;
        return o;
    }
    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        o.help = true;
        return o;
    }

    QSet<QString> seen;
    QStringList operands;
    bool bOptionsEnded = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (bOptionsEnded || !arg.startsWith(QLatin1Char('-')) || arg == QStringLiteral("-")) {
            operands << arg;
            continue;
        }
        if (arg == QStringLiteral("--")) {
            bOptionsEnded = true;
            continue;
        }
        if (seen.contains(arg)) throw Usage(QStringLiteral("%1 is given twice").arg(arg));
        seen.insert(arg);
        const auto value = [&]() -> QString {
            if (i + 1 >= args.size()) throw Usage(QStringLiteral("%1 needs a value").arg(arg));
            return args[++i];
        };
        if (arg == QStringLiteral("--site")) {
            o.site = value();
        } else if (arg == QStringLiteral("--version")) {
            o.version = value();
        } else if (arg == QStringLiteral("--key")) {
            o.secretKey = value();
        } else if (arg == QStringLiteral("--public-key")) {
            o.publicKey = value();
        } else if (arg == QStringLiteral("--expires")) {
            o.expires = ParseDay(value());
        } else if (arg == QStringLiteral("--keep")) {
            o.keep = ParseKeep(value());
        } else if (arg == QStringLiteral("--force")) {
            o.force = true;
        } else {
            throw Usage(QStringLiteral("unknown option '%1'").arg(arg));
        }
    }

    if (o.site.isEmpty()) throw Usage(QStringLiteral("--site DIR is required"));
    if (!seen.contains(QStringLiteral("--version"))) {
        throw Usage(QStringLiteral("--version VERSION is required"));
    }
    if (operands.size() != 1) {
        throw Usage(operands.isEmpty()
                        ? QStringLiteral("the new executable is missing")
                        : QStringLiteral("one new executable is expected, not %1: %2")
                              .arg(operands.size())
                              .arg(operands.join(QStringLiteral(", "))));
    }
    o.executable = operands.first();
    if (seen.contains(QStringLiteral("--key")) && o.secretKey.isEmpty()) {
        throw Usage(QStringLiteral("--key needs a file"));
    }
    if (o.expires && *o.expires < QDateTime::currentDateTimeUtc().date()) {
        throw Usage(QStringLiteral("--expires: %1 is already past: every client would refuse "
                                   "the page")
                        .arg(o.expires->toString(Qt::ISODate)));
    }
    if (o.secretKey.isEmpty()) {
        // Both live only in the signatures.
        if (o.expires) throw Usage(QStringLiteral("--expires needs --key: the date is signed"));
        if (!o.publicKey.isEmpty()) throw Usage(QStringLiteral("--public-key needs --key"));
    } else if (o.publicKey.isEmpty()) {
        o.publicKey = PublicKeyBeside(o.secretKey);
        if (o.publicKey.isEmpty()) {
            throw Usage(QStringLiteral("cannot tell where the public key of '%1' is: its name "
                                       "ends in neither .key nor .sec; name it with --public-key")
                            .arg(o.secretKey));
        }
    }
    return o;
}

} // namespace vex::publish
