#include "tests/support/SignedRelease.h"

#include "tests/support/TestServers.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <functional>
#include <memory>

#include <unistd.h>

namespace vex::testing {

namespace {

QByteArray Flipped(QByteArray bytes, qsizetype at) {
    bytes[at] = static_cast<char>(bytes[at] ^ 0x01);
    return bytes;
}

// A signature file with its signature line re-encoded after edit changed the decoded bytes.
QByteArray EditSignatureLine(const QByteArray& sig, const std::function<void(QByteArray&)>& edit) {
    QList<QByteArray> lines = sig.split('\n');
    QByteArray bytes = QByteArray::fromBase64(lines[1]);
    edit(bytes);
    lines[1] = bytes.toBase64();
    return lines.join('\n');
}

// minisign's algorithm field says "Ed" (the bytes themselves are signed) instead of "ED".
QByteArray Relabelled(const QByteArray& sig) {
    return EditSignatureLine(sig, [](QByteArray& b) { b[1] = 'd'; });
}

// The 64 bytes that an "ED" signature actually signs.
QByteArray Blake2b512(const QByteArray& bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Blake2b_512);
}

// An unprivileged user that owns nothing of the tests.
constexpr uid_t kOtherUser = 65534;

void GiveAway(const QString& path) {
    [[maybe_unused]] const int rc =
        ::chown(QFile::encodeName(path).constData(), kOtherUser, kOtherUser);
}

void SetMode(const QString& path, QFile::Permissions permissions) {
    QFile::setPermissions(path, permissions);
}

QByteArray WithLine(const QByteArray& sig, int index, const QByteArray& line) {
    QList<QByteArray> lines = sig.split('\n');
    lines[index] = line;
    return lines.join('\n');
}

} // namespace

void ServedRelease::PutOn(const NginxServer& server) const {
    const auto put = [&](const char* name, const std::optional<QByteArray>& content) {
        const QString path = server.Root() + QStringLiteral("/vexbrindle/") + name;
        QFile::remove(path);
        if (content)
            const_cast<NginxServer&>(server).Put(QStringLiteral("vexbrindle/") + name, *content);
    };
    put("update.html", page);
    put("update.html.minisig", pageSig);
    put("DrixaBilling2.exe", exe);
    put("DrixaBilling2.exe.minisig", exeSig);
}

QString SignedCase::MessageFor(const QString& programFolder) const {
    return message.contains(QLatin1String("%1"))
               ? message.arg(QDir::toNativeSeparators(programFolder))
               : message;
}

QByteArray SignedExecutable() {
    return PatternBytes(1024 * 1024 + 3, 29);
}

QList<SignedCase> SignedCases(const MinisignKeys& vendor, const MinisignKeys& other, QDate today) {
    const QByteArray page = kSignedServerVersion + "\r\n";
    const QByteArray exe = SignedExecutable();
    const QString version = QStringLiteral("file:DrixaBilling2.exe version:") +
                            QString::fromLatin1(kSignedServerVersion);
    const QByteArray key = vendor.PublicKeyFile();
    const auto signPage = [&](const QString& comment = {}) {
        return vendor.Sign("update.html", page, comment);
    };
    const auto signExe = [&](const QString& comment) {
        return vendor.Sign("DrixaBilling2.exe", exe, comment);
    };
    const ServedRelease good{page, signPage(), exe, signExe(version)};
    const auto with = [&](std::function<void(ServedRelease&)> change) {
        ServedRelease served = good;
        change(served);
        return served;
    };
    const QString exeMismatch =
        "The signature of DrixaBilling2.exe does not match the vendor's key";
    const QString pageMismatch = "The signature of update.html does not match the vendor's key";
    const QString notThisUpdate = "The signature of DrixaBilling2.exe is not for this update: its "
                                  "trusted comment lacks \"version:1.2.0\"";
    const QString notThePage = "The signature of update.html is not for this file: its trusted "
                               "comment lacks \"file:update.html\"";
    const QString notTheExe = "The signature of DrixaBilling2.exe is not for this file: its "
                              "trusted comment lacks \"file:DrixaBilling2.exe\"";
    const QString legacy = " is not a valid signature file: it signs the file's bytes themselves "
                           "(algorithm \"Ed\", minisign -l); only signatures of the file's hash "
                           "(minisign's default, \"ED\") are accepted";
    const QString keyPath = QStringLiteral("The vendor's key file %1/Update/vexbrindle.pub cannot "
                                           "be trusted: ");
    const auto day = [](QDate d) { return d.toString(QStringLiteral("yyyy-MM-dd")); };

    // A signature by the other key that claims the vendor's key id.
    const QByteArray vendorKeyId = QByteArray::fromBase64(vendor.PublicKeyLine()).mid(2, 8);
    const QByteArray impostor =
        EditSignatureLine(other.Sign("DrixaBilling2.exe", exe, version),
                          [&](QByteArray& b) { b.replace(2, 8, vendorKeyId); });
    const QString vendorId =
        QString::fromLatin1(vendor.PublicKeyFile().split('\n')[0].split(' ').last());
    const QString otherId =
        QString::fromLatin1(other.PublicKeyFile().split('\n')[0].split(' ').last());

    // A folder elsewhere, owned by another user, that the installation's Update/ links to.
    const auto elsewhere = std::make_shared<QTemporaryDir>();

    return {
        {"valid ED signatures refused", good, key, ""},
        {"legacy Ed signatures accepted (their label is signed by nothing)",
         with([&](ServedRelease& s) {
             s.pageSig = vendor.Sign("update.html", page, {}, true);
             s.exeSig = vendor.Sign("DrixaBilling2.exe", exe, version, true);
         }),
         key, "update.html.minisig" + legacy},
        {"executable's signature relabelled Ed accepted for the 64 bytes of its hash",
         with([&](ServedRelease& s) {
             s.exe = Blake2b512(exe);
             s.exeSig = Relabelled(*s.exeSig);
         }),
         key, "DrixaBilling2.exe.minisig" + legacy},
        {"page's signature relabelled Ed accepted for the 64 bytes of its hash",
         with([&](ServedRelease& s) {
             s.page = Blake2b512(page);
             s.pageSig = Relabelled(*s.pageSig);
         }),
         key, "update.html.minisig" + legacy},
        {"signed executable served as the page (updates frozen)", with([&](ServedRelease& s) {
             s.page = s.exe;
             s.pageSig = s.exeSig;
         }),
         key, notThePage},
        {"page signed with a comment that does not name it accepted",
         with([&](ServedRelease& s) { s.pageSig = signPage("expires:" + day(today)); }), key,
         notThePage},
        {"executable signed under another name accepted", with([&](ServedRelease& s) {
             s.exeSig = vendor.Sign("Other.exe", exe, "file:Other.exe version:1.2.0");
         }),
         key, notTheExe},
        {"one flipped byte in the executable accepted",
         with([&](ServedRelease& s) { s.exe = Flipped(exe, 700'000); }), key, exeMismatch},
        {"one flipped byte in the page accepted",
         with([&](ServedRelease& s) { s.page = "1.3.0\r\n"; }), key, pageMismatch},
        {"one flipped byte in the signature accepted", with([&](ServedRelease& s) {
             s.exeSig = EditSignatureLine(*s.exeSig, [](QByteArray& b) { b[40] ^= 0x20; });
         }),
         key, exeMismatch},
        {"one flipped byte in the trusted comment accepted", with([&](ServedRelease& s) {
             s.exeSig =
                 WithLine(*s.exeSig, 2, "trusted comment: file:DrixaBilling2.exe version:1.2.1");
         }),
         key, exeMismatch},
        {"signature by another key accepted",
         with([&](ServedRelease& s) { s.exeSig = other.Sign("DrixaBilling2.exe", exe, version); }),
         key,
         QStringLiteral("DrixaBilling2.exe.minisig was made with another key (key ID %1), not the "
                        "vendor's (key ID %2)")
             .arg(otherId, vendorId)},
        {"matching key id of a different key accepted",
         with([&](ServedRelease& s) { s.exeSig = impostor; }), key, exeMismatch},
        {"signature of another file accepted", with([&](ServedRelease& s) {
             s.exeSig = vendor.Sign("DrixaBilling2.exe", page, version);
         }),
         key, exeMismatch},
        {"missing executable signature not reported",
         with([&](ServedRelease& s) { s.exeSig.reset(); }), key,
         "DrixaBilling2.exe.minisig: HTTP 404 Not Found"},
        {"missing page signature not reported", with([&](ServedRelease& s) { s.pageSig.reset(); }),
         key, "update.html.minisig: HTTP 404 Not Found"},
        {"truncated signature file accepted",
         with([&](ServedRelease& s) { s.exeSig = s.exeSig->split('\n').mid(0, 3).join('\n'); }),
         key,
         "DrixaBilling2.exe.minisig is not a valid signature file: it has 3 lines instead of 4"},
        {"oversized signature file read",
         with([&](ServedRelease& s) { s.exeSig = *s.exeSig + QByteArray(5000, '#'); }), key,
         "DrixaBilling2.exe.minisig is not a valid signature file: it is larger than the 4096 "
         "bytes a signature file may have"},
        {"trusted comment without a version token accepted",
         with([&](ServedRelease& s) { s.exeSig = signExe("file:DrixaBilling2.exe release"); }), key,
         notThisUpdate},
        {"trusted comment of another version accepted", with([&](ServedRelease& s) {
             s.exeSig = signExe("file:DrixaBilling2.exe version:1.1.0 version:1.2.0.1");
         }),
         key, notThisUpdate},
        {"expired page accepted", with([&](ServedRelease& s) {
             s.pageSig = signPage("file:update.html expires:" + day(today.addDays(-1)));
         }),
         key,
         QStringLiteral("update.html has expired: its signature was valid until %1")
             .arg(day(today.addDays(-1)))},
        {"page expiring today refused", with([&](ServedRelease& s) {
             s.pageSig = signPage("file:update.html expires:" + day(today));
         }),
         key, ""},
        {"no key: unsigned release refused",
         with([&](ServedRelease& s) {
             s.pageSig.reset();
             s.exeSig.reset();
         }),
         {},
         ""},
        {"key file that others may write trusted", good, key,
         keyPath + "the file %1/Update/vexbrindle.pub can be written by others than its owner "
                   "(mode 0666)",
         [](const QString& folder) {
             SetMode(folder + "/Update/vexbrindle.pub", QFile::ReadOwner | QFile::WriteOwner |
                                                            QFile::ReadGroup | QFile::WriteGroup |
                                                            QFile::ReadOther | QFile::WriteOther);
         }},
        {"key in a folder that others may write trusted", good, key,
         keyPath + "the folder %1/Update can be written by others than its owner (mode 0777)",
         [](const QString& folder) {
             SetMode(folder + "/Update", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                             QFile::ReadGroup | QFile::WriteGroup |
                                             QFile::ExeGroup | QFile::ReadOther |
                                             QFile::WriteOther | QFile::ExeOther);
         }},
        {"key file of another user trusted", good, key,
         keyPath + "the file %1/Update/vexbrindle.pub belongs to the user nobody, not to you or "
                   "root",
         [](const QString& folder) { GiveAway(folder + "/Update/vexbrindle.pub"); }, true},
        {"key in a folder of another user trusted", good, key,
         keyPath + "the folder %1/Update belongs to the user nobody, not to you or root",
         [](const QString& folder) { GiveAway(folder + "/Update"); }, true},
        {"key removed by the other user who owns the folder: unsigned files installed",
         good,
         {},
         keyPath + "the folder %1/Update belongs to the user nobody, not to you or root",
         [](const QString& folder) { GiveAway(folder + "/Update"); },
         true},
        {"Update/ a link to another user's folder trusted", good, key,
         keyPath + "the folder " + QDir::toNativeSeparators(elsewhere->path()) +
             "/Update belongs to the user nobody, not to you or root",
         [elsewhere](const QString& folder) {
             const QString target = elsewhere->filePath("Update");
             QDir(target).removeRecursively();
             QDir().rename(folder + "/Update", target);
             QFile::link(target, folder + "/Update");
             GiveAway(target);
         },
         true},
    };
}

} // namespace vex::testing
