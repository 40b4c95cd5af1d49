#include "tests/support/Files.h"
#include "tests/support/Minisign.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/SignedRelease.h"
#include "tests/support/TestServers.h"
#include "tests/updater/RecordingWindow.h"

#include "updater/UpdateForm.h"
#include "updater/VendorKey.h"

#include "platform/runtime/BackgroundRemoval.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <memory>

using vex::inet::Inet;
using vex::testing::Entries;
using vex::testing::FaultServer;
using vex::testing::MinisignKeys;
using vex::testing::NginxServer;
using vex::testing::ReadAll;
using vex::testing::SignedCase;
using vex::testing::WriteAll;
using vex::updater::UpdateForm;
using vex::updater::UpdateSettings;

namespace {

const QDate kToday(2026, 12, 10);
const QByteArray kOldExecutable = "old DrixaBilling2.exe";
const QByteArray kOldPage = "1.0.0\r\n";

// An installation that already holds an older DrixaBilling2.exe and an older saved page, so a
// refused update can be seen to leave both untouched.
struct Installation {
    QTemporaryDir folder;
    RecordingWindow window;
    Inet inet;
    std::unique_ptr<UpdateForm> form;

    Installation(const QString& serverUrl, const QByteArray& keyFile,
                 const QString& builtInKey = {}) {
        QDir(folder.path()).mkdir("Update");
        WriteAll(folder.filePath("Update/ver.dat"), vex::testing::kSignedInstalledVersion);
        WriteAll(folder.filePath("Update/update.html"), kOldPage);
        WriteAll(folder.filePath("DrixaBilling2.exe"), kOldExecutable);
        if (!keyFile.isNull()) WriteAll(folder.filePath("Update/vexbrindle.pub"), keyFile);
        UpdateSettings settings{folder.path(), serverUrl, "1.0.0", builtInKey};
        settings.todayUtc = [] { return kToday; };
        form = std::make_unique<UpdateForm>(window, inet, settings);
        window.Attach(*form);
    }
    void Run() {
        form->Form_Load();
        form->Form_Activate();
        // Files on their way out are gone once the program has ended.
        vex::runtime::WaitForBackgroundRemovals();
    }
    QByteArray Exe() const { return ReadAll(folder.filePath("DrixaBilling2.exe")); }
    QByteArray Page() const { return ReadAll(folder.filePath("Update/update.html")); }
    std::string Events() const { return window.events.join("\n").toStdString(); }
};

class SignedRunTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        nginx_ = std::make_unique<NginxServer>();
        vendor_ = std::make_unique<MinisignKeys>();
        other_ = std::make_unique<MinisignKeys>();
    }
    static void TearDownTestSuite() {
        nginx_.reset();
        vendor_.reset();
        other_.reset();
    }
    void SetUp() override {
        ASSERT_TRUE(nginx_->Started()) << nginx_->StartError().toStdString();
        ASSERT_TRUE(vendor_->Error().isEmpty()) << vendor_->Error().toStdString();
        ASSERT_TRUE(other_->Error().isEmpty()) << other_->Error().toStdString();
    }

    static std::unique_ptr<NginxServer> nginx_;
    static std::unique_ptr<MinisignKeys> vendor_;
    static std::unique_ptr<MinisignKeys> other_;
};

std::unique_ptr<NginxServer> SignedRunTest::nginx_;
std::unique_ptr<MinisignKeys> SignedRunTest::vendor_;
std::unique_ptr<MinisignKeys> SignedRunTest::other_;

} // namespace

// Runs one row of the signed-update table through the run in this process.
void RunSignedCase(const SignedCase& c, const NginxServer& nginx) {
    c.served.PutOn(nginx);
    Installation app(nginx.BaseUrl(), c.keyFile);
    if (c.arrange) c.arrange(app.folder.path());
    app.Run();
    if (c.message.isEmpty()) {
        EXPECT_TRUE(app.window.events.contains("Label1=Completed Downloading Updated Version "
                                               "1.2.0"))
            << c.name << "\n"
            << app.Events();
        EXPECT_TRUE(app.Exe() == *c.served.exe) << c.name;
        EXPECT_EQ(app.Page(), *c.served.page) << c.name;
        EXPECT_TRUE(app.window.ended) << c.name;
        return;
    }
    // A failed check is a failed fetch: one message, then the run stops with the window open.
    EXPECT_EQ(app.window.events.filter("MsgBox").join("\n"),
              "MsgBox(" + c.MessageFor(app.folder.path()) + "|0|Vexbrindle)")
        << c.name << "\n"
        << app.Events();
    EXPECT_EQ(app.window.events.mid(app.window.events.size() - 2),
              (QStringList{"Bar=3", "Timer2=0"}))
        << c.name << "\n"
        << app.Events();
    EXPECT_FALSE(app.window.ended) << c.name;
    EXPECT_EQ(app.Exe(), kOldExecutable) << c.name;
    const bool pageKept = c.message.contains("update.html") || c.message.contains("key file");
    EXPECT_EQ(app.Page(), pageKept ? kOldPage : *c.served.page) << c.name;
    QStringList update{"update.html", "ver.dat"};
    if (!c.keyFile.isNull()) update.append("vexbrindle.pub");
    EXPECT_EQ(Entries(app.folder.path()), (QStringList{"DrixaBilling2.exe", "Update"})) << c.name;
    EXPECT_EQ(Entries(app.folder.filePath("Update")), update) << c.name;
}

TEST_F(SignedRunTest, OnlyWhatTheVendorSignedIsInstalled) {
    for (const SignedCase& c : vex::testing::SignedCases(*vendor_, *other_, kToday)) {
        if (!c.needsRoot) RunSignedCase(c, *nginx_);
    }
}

TEST_F(SignedRunTest, NoKeyIsTrustedFromFilesOrFoldersOfAnotherUser) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root can give files to another user";
    for (const SignedCase& c : vex::testing::SignedCases(*vendor_, *other_, kToday)) {
        if (c.needsRoot) RunSignedCase(c, *nginx_);
    }
}

TEST_F(SignedRunTest, BuiltInKeyIsTheOnlyKey) {
    const vex::testing::SignedCase good = vex::testing::SignedCases(*vendor_, *other_, kToday)[0];
    good.served.PutOn(*nginx_);
    struct Case {
        const char* name; // the fault the row catches
        QByteArray keyFile;
        QString builtIn;
        QString message;
    };
    const Case cases[] = {
        {"built-in key not used", {}, vendor_->PublicKeyLine(), ""},
        {"key file consulted beside the built-in key", "garbage", vendor_->PublicKeyLine(), ""},
        {"key file preferred to the built-in key", vendor_->PublicKeyFile(),
         other_->PublicKeyLine(), "update.html.minisig was made with another key"},
    };
    for (const Case& c : cases) {
        Installation app(nginx_->BaseUrl(), c.keyFile, c.builtIn);
        app.Run();
        const QStringList boxes = app.window.events.filter("MsgBox");
        if (c.message.isEmpty()) {
            EXPECT_TRUE(app.Exe() == *good.served.exe) << c.name << "\n" << app.Events();
        } else {
            ASSERT_EQ(boxes.size(), 1) << c.name << "\n" << app.Events();
            EXPECT_TRUE(boxes[0].contains(c.message)) << c.name << "\n" << app.Events();
            EXPECT_EQ(app.Exe(), kOldExecutable) << c.name;
        }
    }
}

TEST(SignedRunKey, UnusableKeyStopsTheRunBeforeAnyTraffic) {
    FaultServer server;
    server.Route("/vexbrindle/update.html", {.body = "2.0\r\n"});
    server.Route("/vexbrindle/update.html.minisig", {.body = "x"});
    MinisignKeys keys;
    ASSERT_TRUE(keys.Error().isEmpty()) << keys.Error().toStdString();
    struct Case {
        const char* name; // the fault the row catches
        std::function<void(const QString& keyPath)> install;
        QString builtIn;
        QString why;
    };
    const Case cases[] = {
        {"malformed key file taken for no key",
         [](const QString& p) { WriteAll(p, "untrusted comment: key\nnot a key\n"); },
         {},
         "its key is not valid base64 of 42 bytes"},
        {"empty key file taken for no key",
         [](const QString& p) { WriteAll(p, ""); },
         {},
         "it has 0 lines instead of 2"},
        {"folder in place of the key file taken for no key",
         [](const QString& p) { QDir().mkdir(p); },
         {},
         "it is a folder, not a file"},
        {"dangling link taken for no key",
         [](const QString& p) { QFile::link(p + ".gone", p); },
         {},
         "it is a link to a file that does not exist"},
        {"FIFO read as a key file (it would block)",
         [](const QString& p) { ASSERT_EQ(::mkfifo(p.toLocal8Bit().constData(), 0600), 0); },
         {},
         "it is not a regular file"},
        {"key file of the wrong format",
         [&](const QString& p) { WriteAll(p, keys.Sign("update.html", "x")); },
         {},
         "it has 4 lines instead of 2"},
    };
    for (const Case& c : cases) {
        Installation app(server.BaseUrl(), QByteArray(), c.builtIn);
        const QString keyPath = app.folder.filePath("Update/vexbrindle.pub");
        c.install(keyPath);
        app.Run();
        const QString message = QStringLiteral("The vendor's key file %1 cannot be used: %2")
                                    .arg(QDir::toNativeSeparators(keyPath), c.why);
        EXPECT_EQ(app.window.events,
                  (QStringList{"Normal", "Timer2=1000", "Bar=3",
                               "MsgBox(" + message + "|0|Vexbrindle)", "Bar=3", "Timer2=0"}))
            << c.name << "\n"
            << app.Events();
        EXPECT_EQ(app.Exe(), kOldExecutable) << c.name;
        EXPECT_EQ(app.Page(), kOldPage) << c.name;
    }
    Installation app(server.BaseUrl(), QByteArray(), "RWQ-not-a-key");
    app.Run();
    EXPECT_TRUE(app.window.events.contains("MsgBox(The vendor's key built into Vexbrindle cannot "
                                           "be used: its key is not valid base64 of 42 "
                                           "bytes|0|Vexbrindle)"))
        << app.Events();
    EXPECT_EQ(server.RequestCount("/vexbrindle/update.html"), 0);
    EXPECT_EQ(server.RequestCount("/vexbrindle/update.html.minisig"), 0);
}

TEST(SignedRunClose, ClosingDuringASignedDownloadLeavesTheOlderFileAlone) {
    MinisignKeys keys;
    ASSERT_TRUE(keys.Error().isEmpty()) << keys.Error().toStdString();
    const QByteArray exe = vex::testing::PatternBytes(400'000, 7);
    FaultServer server;
    server.Route("/vexbrindle/update.html", {.body = "2.0\r\n"});
    server.Route("/vexbrindle/update.html.minisig", {.body = keys.Sign("update.html", "2.0\r\n")});
    server.Route(
        "/vexbrindle/DrixaBilling2.exe.minisig",
        {.body = keys.Sign("DrixaBilling2.exe", exe, "file:DrixaBilling2.exe version:2.0")});
    server.Route(
        "/vexbrindle/DrixaBilling2.exe",
        {.body = exe, .sendBytes = 200'000, .after = vex::testing::CannedReply::After::Hold});
    Installation app(server.BaseUrl(), keys.PublicKeyFile());
    app.window.onTimer1 = [&](int) {
        if (app.inet.StillExecuting() && server.RequestCount("/vexbrindle/DrixaBilling2.exe") > 0) {
            app.form->lblClose_Click();
        }
    };
    app.Run();
    EXPECT_TRUE(app.form->Ending());
    EXPECT_EQ(app.window.events.filter("MsgBox").size(), 0) << app.Events();
    EXPECT_EQ(app.Exe(), kOldExecutable);
    EXPECT_EQ(Entries(app.folder.path()), (QStringList{"DrixaBilling2.exe", "Update"}));
}
