// vexbrindle-publish with a minisign key: the signatures it has minisign make verify with the
// updater's own code and with minisign itself, name their files as the updater demands, and a
// signing that fails leaves the site exactly as it was.
#include "tests/app/vexbrindle-publish/PublishRun.h"

#include "platform/signature/FileHash.h"
#include "platform/signature/PublicKey.h"
#include "platform/signature/SignatureFile.h"
#include "platform/signature/verify.h"

#include <gtest/gtest.h>

using namespace vex::testing;
using namespace vex::signature;

namespace {

// Key pairs made by the real minisign: "vendor" and "other" without a password. The one with
// a password, whose signing needs a terminal to type it on, is made only where it is used: its
// key derivation takes seconds.
class SignedPublish : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        keys_ = std::make_unique<QTemporaryDir>();
        for (const char* name : {"vendor", "other"})
            ASSERT_EQ(MakeKeyPair(name, {"-W"}), 0) << name;
        WriteFile(Key("junk.key"), "this is not a minisign key\n");
    }
    static void TearDownTestSuite() { keys_.reset(); }

    static QString Key(const QString& name) { return keys_->filePath(name); }

    static int MakeKeyPair(const QString& name, const QStringList& flags,
                           const QByteArray& typed = {}) {
        QProcess p;
        p.start("minisign", QStringList{"-G"} + flags +
                                QStringList{"-p", Key(name + ".pub"), "-s", Key(name + ".key")});
        p.write(typed);
        p.closeWriteChannel();
        if (!p.waitForFinished(60'000)) return -1;
        return p.exitCode();
    }

    // The updater's verdict on the signature of `name` in the site, with the vendor's key.
    static bool UpdaterAccepts(const PublishSite& site, const QString& name) {
        QString why;
        const std::optional<PublicKey> key = PublicKey::FromFile(ReadFile(Key("vendor.pub")), why);
        const std::optional<SignatureFile> signature =
            SignatureFile::Parse(ReadFile(site.Path(name + ".minisig")), why);
        QFile file(site.Path(name));
        if (!key || !signature || !file.open(QIODevice::ReadOnly)) return false;
        const std::optional<Blake2b512> hash = HashBlake2b512(file);
        return hash && Verifies(*signature, *key, name.toLatin1(), *hash);
    }

    static std::unique_ptr<QTemporaryDir> keys_;
};

std::unique_ptr<QTemporaryDir> SignedPublish::keys_;

TEST_F(SignedPublish, SignaturesVerifyWithTheUpdatersCodeAndWithMinisign) {
    const PublishSite site;
    struct Case {
        const char* name;
        QStringList args;
        QString version;
        QByteArray pageComment;
    };
    const Case cases[] = {
        {"without an expiry", {}, "1.0", "file:update.html"},
        {"with an expiry, and the public key named",
         {"--expires", "2099-12-31", "--public-key", Key("vendor.pub")},
         "1.1",
         "file:update.html expires:2099-12-31"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const PublishResult r = site.Publish(
            c.args + QStringList{"--key", Key("vendor.key"), "--version", c.version,
                                 site.Executable(Release(c.version == "1.0" ? 0 : 1))});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        const QByteArray exeComment = "file:DrixaBilling2.exe version:" + c.version.toLatin1();
        for (const auto& [name, comment] : {std::pair{QString("update.html"), c.pageComment},
                                            std::pair{QString("DrixaBilling2.exe"), exeComment}}) {
            SCOPED_TRACE(name.toStdString());
            EXPECT_TRUE(UpdaterAccepts(site, name));
            const QList<QByteArray> lines = ReadFile(site.Path(name + ".minisig")).split('\n');
            EXPECT_EQ(lines.value(2), "trusted comment: " + comment);
            QString err;
            EXPECT_EQ(RunProgram("minisign", {"-V", "-p", Key("vendor.pub"), "-m", site.Path(name)},
                                 &err),
                      0)
                << err.toStdString();
        }
        EXPECT_TRUE(r.out.contains(" bytes  update.html.minisig\n")) << r.out.toStdString();
    }
}

TEST_F(SignedPublish, FailedSigningLeavesTheSiteAsItWas) {
    ASSERT_EQ(MakeKeyPair("locked", {}, "secret\nsecret\n"), 0);
    struct Case {
        const char* name;
        QStringList args; // besides --site, --version 2.0 and the executable
        QString message;
    };
    const Case cases[] = {
        {"a missing secret key",
         {"--key", Key("missing.key"), "--public-key", Key("vendor.pub")},
         "Cannot read the secret key"},
        {"a key file that is not a key",
         {"--key", Key("junk.key"), "--public-key", Key("vendor.pub")},
         "Signing DrixaBilling2.exe failed"},
        {"a key with a password and no terminal to type it on",
         {"--key", Key("locked.key")},
         "Signing DrixaBilling2.exe failed"},
        {"a public key that is not the secret key's pair",
         {"--key", Key("vendor.key"), "--public-key", Key("other.pub")},
         "the public key is not the secret key's pair"},
        {"a public key file that is not a key",
         {"--key", Key("vendor.key"), "--public-key", Key("junk.key")},
         "is not a minisign public key"},
        {"an unsigned release over signed ones", {}, "the site's releases are signed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const PublishSite site;
        const PublishResult first = site.Publish(
            {"--key", Key("vendor.key"), "--version", "1.0", site.Executable(Release(0))});
        ASSERT_EQ(first.exitCode, 0) << first.err.toStdString();
        const auto before = Snapshot(site.Root());
        const PublishResult r =
            site.Publish(c.args + QStringList{"--version", "2.0", site.Executable(Release(1))});
        EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(c.message)) << r.err.toStdString();
        EXPECT_EQ(Snapshot(site.Root()), before);
    }
}

// Stopped while minisign waits for a password that never comes: the tool ends minisign and
// leaves the site as it was, staging folder and all.
TEST_F(SignedPublish, AnInterruptedRunLeavesTheSiteAsItWas) {
    ASSERT_EQ(MakeKeyPair("locked", {}, "secret\nsecret\n"), 0);
    const PublishSite site;
    const PublishResult first = site.Publish({"--version", "1.0", site.Executable(Release(0))});
    ASSERT_EQ(first.exitCode, 0) << first.err.toStdString();
    const auto before = Snapshot(site.Root());

    QProcess p;
    p.setReadChannel(QProcess::StandardError);
    p.start(VEXBRINDLE_PUBLISH_EXECUTABLE,
            {"--site", site.Root(), "--version", "2.0", "--force", "--key", Key("locked.key"),
             site.Executable(Release(1))});
    QByteArray err;
    while (!err.contains("Password") && p.waitForReadyRead(60'000))
        err += p.readAllStandardError();
    ASSERT_TRUE(err.contains("Password")) << err.toStdString();
    p.terminate();
    ASSERT_TRUE(p.waitForFinished(60'000));
    err += p.readAllStandardError();
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_TRUE(err.contains("Interrupted")) << err.toStdString();
    EXPECT_EQ(Snapshot(site.Root()), before);
}

TEST_F(SignedPublish, ForcedUnsignedReleaseTakesTheOldSignaturesAway) {
    const PublishSite site;
    const PublishResult signed_ =
        site.Publish({"--key", Key("vendor.key"), "--version", "1.0", site.Executable(Release(0))});
    ASSERT_EQ(signed_.exitCode, 0) << signed_.err.toStdString();
    const PublishResult r =
        site.Publish({"--force", "--version", "1.1", site.Executable(Release(1))});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(site.Path("update.html.minisig"))) << "it no longer matches";
    EXPECT_FALSE(QFile::exists(site.Path("DrixaBilling2.exe.minisig")));
}

} // namespace
