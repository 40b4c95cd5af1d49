#include "tests/support/SignedRelease.h"

#include "tests/support/TestServers.h"

#include <QFile>

#include <functional>

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

QByteArray SignedExecutable() {
    return PatternBytes(1024 * 1024 + 3, 29);
}

QList<SignedCase> SignedCases(const MinisignKeys& vendor, const MinisignKeys& other, QDate today) {
    const QByteArray page = kSignedServerVersion + "\r\n";
    const QByteArray exe = SignedExecutable();
    const QString version = QStringLiteral("version:") + QString::fromLatin1(kSignedServerVersion);
    const QByteArray key = vendor.PublicKeyFile();
    const ServedRelease good{page, vendor.Sign(page), exe, vendor.Sign(exe, version)};
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
    const auto day = [](QDate d) { return d.toString(QStringLiteral("yyyy-MM-dd")); };

    // A signature by the other key that claims the vendor's key id.
    const QByteArray vendorKeyId = QByteArray::fromBase64(vendor.PublicKeyLine()).mid(2, 8);
    const QByteArray impostor = EditSignatureLine(
        other.Sign(exe, version), [&](QByteArray& b) { b.replace(2, 8, vendorKeyId); });
    const QString vendorId =
        QString::fromLatin1(vendor.PublicKeyFile().split('\n')[0].split(' ').last());
    const QString otherId =
        QString::fromLatin1(other.PublicKeyFile().split('\n')[0].split(' ').last());

    return {
        {"valid ED signatures refused", good, key, ""},
        {"valid Ed (legacy) signatures refused", with([&](ServedRelease& s) {
             s.pageSig = vendor.Sign(page, {}, true);
             s.exeSig = vendor.Sign(exe, version, true);
         }),
         key, ""},
        {"one flipped byte in the executable accepted",
         with([&](ServedRelease& s) { s.exe = Flipped(exe, 700'000); }), key, exeMismatch},
        {"one flipped byte in the legacy-signed executable accepted", with([&](ServedRelease& s) {
             s.exe = Flipped(exe, 5);
             s.exeSig = vendor.Sign(exe, version, true);
         }),
         key, exeMismatch},
        {"one flipped byte in the page accepted",
         with([&](ServedRelease& s) { s.page = "1.3.0\r\n"; }), key, pageMismatch},
        {"one flipped byte in the signature accepted", with([&](ServedRelease& s) {
             s.exeSig = EditSignatureLine(*s.exeSig, [](QByteArray& b) { b[40] ^= 0x20; });
         }),
         key, exeMismatch},
        {"one flipped byte in the trusted comment accepted", with([&](ServedRelease& s) {
             s.exeSig = WithLine(*s.exeSig, 2, "trusted comment: version:1.2.1");
         }),
         key, exeMismatch},
        {"signature by another key accepted",
         with([&](ServedRelease& s) { s.exeSig = other.Sign(exe, version); }), key,
         QStringLiteral("DrixaBilling2.exe.minisig was made with another key (key ID %1), not the "
                        "vendor's (key ID %2)")
             .arg(otherId, vendorId)},
        {"matching key id of a different key accepted",
         with([&](ServedRelease& s) { s.exeSig = impostor; }), key, exeMismatch},
        {"signature of another file accepted",
         with([&](ServedRelease& s) { s.exeSig = vendor.Sign(page, version); }), key, exeMismatch},
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
         with([&](ServedRelease& s) { s.exeSig = vendor.Sign(exe, "release build"); }), key,
         notThisUpdate},
        {"trusted comment of another version accepted", with([&](ServedRelease& s) {
             s.exeSig = vendor.Sign(exe, "version:1.1.0 version:1.2.0.1");
         }),
         key, notThisUpdate},
        {"expired page accepted", with([&](ServedRelease& s) {
             s.pageSig = vendor.Sign(page, "expires:" + day(today.addDays(-1)));
         }),
         key,
         QStringLiteral("update.html has expired: its signature was valid until %1")
             .arg(day(today.addDays(-1)))},
        {"page expiring today refused",
         with([&](ServedRelease& s) { s.pageSig = vendor.Sign(page, "expires:" + day(today)); }),
         key, ""},
        {"no key: unsigned release refused",
         with([&](ServedRelease& s) {
             s.pageSig.reset();
             s.exeSig.reset();
         }),
         {},
         ""},
    };
}

} // namespace vex::testing
