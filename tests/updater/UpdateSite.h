#pragma once

// An update site made by the real vexbrindle-publish under a real nginx that logs what it
// serves, and an installation of Drixa Billing that updates from it: what the tests of the
// forms in which a new executable arrives share.
#include "tests/app/vexbrindle-publish/PublishRun.h"
#include "tests/support/Files.h"
#include "tests/support/TestServers.h"
#include "tests/updater/RecordingWindow.h"

#include "updater/UpdateForm.h"

#include "platform/runtime/BackgroundRemoval.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace vex::testing {

// One line of nginx's access log: the path below /vexbrindle/, the status, the body bytes sent.
struct Served {
    QString path;
    int status = 0;
    qint64 bytes = 0;
};

// nginx serving sites published by vexbrindle-publish, logging every request.
class LoggingNginx {
  public:
    explicit LoggingNginx(const QByteArray& extraConfig = {}) {
        EXPECT_TRUE(logDir_.isValid());
        NginxServer::Options options;
        options.serverConfig =
            "access_log " + logDir_.filePath("access.log").toLocal8Bit() + ";\n" + extraConfig;
        server_ = std::make_unique<NginxServer>(options);
    }

    NginxServer& server() { return *server_; }
    // The site folder served as <base>/<prefix>vexbrindle/.
    QString SiteFolder(const QString& prefix = {}) const {
        return server_->Root() + '/' + prefix + "vexbrindle";
    }

    // The requests since the last ClearLog(), in order.
    QList<Served> Requests() const {
        QList<Served> served;
        static const QRegularExpression line(
            QStringLiteral(R"re("GET [^ ]*/vexbrindle/([^ ]*) HTTP/[0-9.]+" (\d+) (\d+))re"));
        for (const QByteArray& raw : ReadAll(logDir_.filePath("access.log")).split('\n')) {
            const QRegularExpressionMatch m = line.match(QString::fromLatin1(raw));
            if (m.hasMatch())
                served.append({m.captured(1), m.captured(2).toInt(), m.captured(3).toLongLong()});
        }
        return served;
    }
    void ClearLog() const { QFile(logDir_.filePath("access.log")).resize(0); }

  private:
    QTemporaryDir logDir_;
    std::unique_ptr<NginxServer> server_;
};

// A minisign key pair without a password, made by the real minisign.
class VendorKeys {
  public:
    VendorKeys() {
        QProcess p;
        p.start("minisign", {"-G", "-W", "-p", PublicFile(), "-s", SecretFile()});
        EXPECT_TRUE(p.waitForFinished(60'000) && p.exitCode() == 0) << "minisign -G failed";
    }
    QString PublicFile() const { return dir_.filePath("vendor.pub"); }
    QString SecretFile() const { return dir_.filePath("vendor.key"); }
    // The base64 line the updater is built with.
    QString PublicKeyLine() const {
        return QString::fromLatin1(ReadAll(PublicFile()).split('\n').value(1)).trimmed();
    }

  private:
    QTemporaryDir dir_;
};

// Publishes releases into a site folder with the tool, as the vendor does.
inline void PublishInto(const QString& siteFolder,
                        const QList<QPair<QString, QByteArray>>& releases, const VendorKeys* keys) {
    QTemporaryDir builds;
    int n = 0;
    for (const auto& [version, bytes] : releases) {
        const QString exe = builds.filePath(QStringLiteral("build-%1.exe").arg(++n));
        WriteFile(exe, bytes);
        QStringList args = {"--site", siteFolder, "--version", version, "--force", exe};
        if (keys) args = QStringList{"--key", keys->SecretFile()} + args;
        const PublishResult r = PublishSite::Run(args);
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    }
}

// The id of the patch from an executable: the lower-case hex BLAKE2b-256 of its bytes.
inline QString PatchIdOf(const QByteArray& bytes) {
    QTemporaryDir dir;
    WriteFile(dir.filePath("exe"), bytes);
    return Blake2b256Hex(dir.filePath("exe"));
}

// An installation in a program folder that outlives it, so a second run finds what the first
// left behind.
struct UpdaterRun {
    RecordingWindow window;
    vex::inet::Inet inet;
    std::unique_ptr<vex::updater::UpdateForm> form;

    UpdaterRun(const QString& folder, const QString& serverUrl, const QString& publicKey = {}) {
        vex::updater::UpdateSettings settings{folder, serverUrl, "1.0.0"};
        settings.publicKey = publicKey;
        form = std::make_unique<vex::updater::UpdateForm>(window, inet, settings);
        window.Attach(*form);
    }
    void Run() {
        form->Form_Load();
        form->Form_Activate();
        // Files on their way out are gone once the program has ended.
        vex::runtime::WaitForBackgroundRemovals();
    }
    bool Completed(const QString& version) const {
        return window.events.contains("Label1=Completed Downloading Updated Version " + version);
    }
    std::string Events() const {
        return (window.events + QStringList{"notes:"} + window.notes).join("\n").toStdString();
    }
};

} // namespace vex::testing
