#include "tests/support/Files.h"
#include "tests/support/ProgramFolder.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/TestServers.h"
#include "tests/updater/RecordingWindow.h"

#include "updater/UpdateForm.h"

#include "platform/runtime/BackgroundRemoval.h"

#include <QFile>
#include <gtest/gtest.h>

#include <memory>

using vex::inet::Inet;
using vex::testing::CannedReply;
using vex::testing::FaultServer;
using vex::testing::NginxServer;
using vex::testing::ProgramFolder;
using vex::testing::ReadAll;
using vex::updater::UpdateForm;
using vex::updater::UpdateSettings;
using vex::updater::vbNo;
using vex::updater::vbYes;

namespace {

const QString kNoUpdates = "There are no updates available at this time";
const QString kRename = "You must rename DrixaBilling2.exe to DrixaBilling.exe now";
const QString kRestart = "Would you like to restart the application now? ";

// One program folder with its Update folder, a recording window and the form, against a server.
struct Installation {
    ProgramFolder folder;
    RecordingWindow window;
    Inet inet;
    std::unique_ptr<UpdateForm> form;

    Installation(const QString& serverUrl, std::optional<QByteArray> verDat)
        : folder(std::move(verDat)) {
        form = std::make_unique<UpdateForm>(window, inet,
                                            UpdateSettings{folder.path(), serverUrl, "1.0.0"});
        window.Attach(*form);
    }

    // Loads and activates the window the way the window system does.
    void Run() {
        form->Form_Load();
        form->Form_Activate();
        // Files on their way out are gone once the program has ended.
        vex::runtime::WaitForBackgroundRemovals();
    }
    std::string Events() const { return window.events.join("\n").toStdString(); }
};

class UpdateRunTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { nginx_ = std::make_unique<NginxServer>(); }
    static void TearDownTestSuite() { nginx_.reset(); }
    void SetUp() override {
        ASSERT_TRUE(nginx_->Started()) << nginx_->StartError().toStdString();
        nginx_->Put("vexbrindle/DrixaBilling2.exe", Executable());
    }
    static QByteArray Executable() { return vex::testing::PatternBytes(1024 * 1024 + 5, 11); }
    static void ServePage(const QByteArray& page) { nginx_->Put("vexbrindle/update.html", page); }

    static std::unique_ptr<NginxServer> nginx_;
};

std::unique_ptr<NginxServer> UpdateRunTest::nginx_;

} // namespace

TEST_F(UpdateRunTest, NewerVersionIsDownloadedAndTheUserToldToRenameIt) {
    ServePage("1.2.0\r\n");
    Installation app(nginx_->BaseUrl(), "1.0.0\r\n");
    app.Run();
    const QStringList expected = {
        "Normal",
        "Timer2=1000",
        "Bar=3",
        "Bar=25",
        "Label1=Please Wait ..",
        "Label1=Completed Downloading Updated Version 1.2.0",
        "Bar=100",
        "Timer2=0",
        "MsgBox(" + kRename + "|0|Vexbrindle)",
        "End",
    };
    EXPECT_EQ(app.window.events, expected) << app.Events();
    const QString exe = app.folder.filePath("DrixaBilling2.exe");
    EXPECT_TRUE(ReadAll(exe) == Executable());
    EXPECT_TRUE(QFile::permissions(exe) & QFileDevice::ExeOwner);
    EXPECT_EQ(ReadAll(app.folder.filePath("Update/update.html")), "1.2.0\r\n");
}

TEST_F(UpdateRunTest, NoNewerVersionAsksToRestartAndStartsOnlyOnYes) {
    struct Case {
        const char* name; // the fault the row catches
        QByteArray page;
        std::optional<QByteArray> verDat;
        int answer;
        bool started;
    };
    const Case cases[] = {
        {"equal versions taken for an update, Yes", "1.2.0\r\n", "1.2.0\r\n", vbYes, true},
        {"equal versions, No starts the program anyway", "1.2.0\r\n", "1.2.0\r\n", vbNo, false},
        {"1.10 compared as a number against 1.9", "1.10\r\n", "1.9\r\n", vbNo, false},
        {"older server version taken for an update", "0.9.9\r\n", "1.0.0\r\n", vbNo, false},
        {"empty first line of the page taken for an update", "\r\n9.9.9\r\n", "1.0.0\r\n", vbNo,
         false},
        {"missing ver.dat not replaced by own version", "1.0.0", std::nullopt, vbNo, false},
    };
    for (const Case& c : cases) {
        ServePage(c.page);
        Installation app(nginx_->BaseUrl(), c.verDat);
        app.window.restartAnswer = c.answer;
        app.Run();
        QStringList expected = {
            "Normal",
            "Timer2=1000",
            "Bar=3",
            "Bar=25",
            "Label1=" + kNoUpdates,
            "Bar=3",
            "MsgBox(" + kNoUpdates + "|0|Vexbrindle)",
            "Timer2=0",
            "Hide",
            "MsgBox(" + kRestart + "|4|Restart Drixa Billing)",
        };
        if (c.started) expected << "Shell(DrixaBilling2.exe|2)";
        expected << "End";
        EXPECT_EQ(app.window.events, expected) << c.name << "\n" << app.Events();
        EXPECT_FALSE(QFile::exists(app.folder.filePath("DrixaBilling2.exe"))) << c.name;
    }
}

TEST_F(UpdateRunTest, MissingLocalVersionFallsBackToOwnVersion) {
    ServePage("1.0.1\n");
    Installation app(nginx_->BaseUrl(), std::nullopt);
    app.Run();
    EXPECT_EQ(app.form->sLocalVersion(), "1.0.0");
    EXPECT_TRUE(app.window.events.contains("Label1=Completed Downloading Updated Version 1.0.1"))
        << app.Events();
}

TEST_F(UpdateRunTest, FailedShellStillEndsTheProgramSilently) {
    ServePage("1.0.0\n");
    Installation app(nginx_->BaseUrl(), "1.0.0");
    app.window.restartAnswer = vbYes;
    app.window.shellResult = false;
    app.Run();
    ASSERT_GE(app.window.events.size(), 2);
    EXPECT_EQ(app.window.events.mid(app.window.events.size() - 2),
              (QStringList{"Shell(DrixaBilling2.exe|2)", "End"}));
}

TEST_F(UpdateRunTest, StoppedRunsLeaveTheWindowOpen) {
    struct Case {
        const char* name;    // the fault the row catches
        QByteArray pagePath; // fault server route for the page
        CannedReply page;
        CannedReply exe;
        QStringList expected;
    };
    const QString refused = "";
    const Case cases[] = {
        {"page fetch failure not reported or not stopped",
         "/vexbrindle/update.html",
         {.status = 404, .reason = "Not Found", .body = "x"},
         {},
         {"Normal", "Timer2=1000", "Bar=3", "MsgBox(HTTP 404 Not Found|0|Vexbrindle)", "Bar=3",
          "Timer2=0"}},
        {"empty page not a silent stop",
         "/vexbrindle/update.html",
         {.body = ""},
         {},
         {"Normal", "Timer2=1000", "Bar=3", "Bar=25"}},
        {"executable fetch failure not reported or not stopped",
         "/vexbrindle/update.html",
         {.body = "2.0\r\n"},
         {.status = 500, .reason = "Internal Server Error", .body = "x"},
         {"Normal", "Timer2=1000", "Bar=3", "Bar=25", "Label1=Please Wait ..",
          "MsgBox(HTTP 500 Internal Server Error|0|Vexbrindle)", "Bar=3", "Timer2=0"}},
    };
    for (const Case& c : cases) {
        FaultServer server;
        server.Route(c.pagePath, c.page);
        server.Route("/vexbrindle/DrixaBilling2.exe", c.exe);
        Installation app(server.BaseUrl(), "1.0.0");
        app.Run();
        EXPECT_EQ(app.window.events, c.expected) << c.name << "\n" << app.Events();
        EXPECT_FALSE(app.window.ended) << c.name;
        EXPECT_FALSE(app.form->Ending()) << c.name;
        EXPECT_FALSE(QFile::exists(app.folder.filePath("DrixaBilling2.exe"))) << c.name;
        EXPECT_EQ(app.folder.Entries(), QStringList{"Update"}) << c.name;
    }
}

TEST_F(UpdateRunTest, ServerBaseUrlWithTrailingSlashReachesTheSamePaths) {
    ServePage("1.0.0\n");
    Installation app(nginx_->BaseUrl() + "/", "1.0.0");
    app.Run();
    EXPECT_TRUE(app.window.events.contains("Label1=" + kNoUpdates)) << app.Events();
}

TEST(UpdateRunStatus, StatusLineFollowsTheTransferAndTimersTickMeanwhile) {
    // Both fetches are held by the server until Timer1 has ticked a few times during them; the
    // run can only go on if the timers tick while a fetch waits.
    FaultServer server;
    server.Route("/vexbrindle/update.html",
                 {.body = "2.0\r\n", .sendBytes = 1, .after = CannedReply::After::Hold});
    server.Route("/vexbrindle/DrixaBilling2.exe",
                 {.body = "new exe", .sendBytes = 2, .after = CannedReply::After::Hold});
    Installation app(server.BaseUrl(), "1.0.0");
    QStringList seen; // status line and close label, whenever they change during the run
    auto look = [&] {
        const QString state = app.window.label2 + (app.window.closeVisible ? " [X]" : " [hidden]");
        if (seen.isEmpty() || seen.last() != state) seen << state;
    };
    int ticksDuringFetch = 0;
    app.window.onTimer1 = [&](int) {
        look();
        if (app.inet.StillExecuting() && ++ticksDuringFetch % 5 == 0) server.Release();
    };
    app.window.onMsgBox = [&](const QString&) {
        // A tick while the rename message is shown: no transfer, so "Server down.." and X.
        app.form->Timer1_Timer();
        look();
    };
    app.form->Form_Load();
    app.form->Timer1_Timer();
    look();
    app.form->Form_Activate();
    const QStringList expected = {
        "Status: Server down.. [X]",
        "Status: Checking For Updated Version ... [hidden]",
        "Status: Downloading Updates.. [hidden]",
        "Status: Server down.. [X]",
    };
    EXPECT_EQ(seen, expected);
    EXPECT_GE(ticksDuringFetch, 10);
    EXPECT_TRUE(app.window.ended);
}

TEST(UpdateRunStatus, ClosingDuringTheDownloadAbandonsItAndRunsNoMoreHandlers) {
    FaultServer server;
    server.Route("/vexbrindle/update.html", {.body = "2.0\r\n"});
    server.Route("/vexbrindle/DrixaBilling2.exe", {.body = vex::testing::PatternBytes(200'000),
                                                   .sendBytes = 100'000,
                                                   .after = CannedReply::After::Hold});
    Installation app(server.BaseUrl(), "1.0.0");
    app.window.onTimer1 = [&](int) {
        if (app.inet.StillExecuting() && app.form->sStatus() == "Downloading Updates..") {
            app.form->lblClose_Click();
        }
    };
    app.Run();
    EXPECT_TRUE(app.form->Ending());
    EXPECT_EQ(app.window.events.last(), "End") << app.Events();
    EXPECT_EQ(app.window.events.filter("MsgBox").size(), 0) << app.Events();
    EXPECT_EQ(app.folder.Entries(), QStringList{"Update"});
    const QStringList before = app.window.events;
    const QString label2 = app.window.label2;
    app.form->Timer1_Timer();
    app.form->Timer2_Timer();
    app.form->Form_Activate();
    EXPECT_EQ(app.window.events, before);
    EXPECT_EQ(app.window.label2, label2);
}

TEST(UpdateRunStatus, ConnectionTimeCountsAndStopsAtTheLargestCount) {
    RecordingWindow window;
    Inet inet;
    UpdateForm form(window, inet, UpdateSettings{"/nonexistent", "http://127.0.0.1:1", "1.0.0"});
    form.Form_Load();
    for (int i = 0; i < 3; ++i)
        form.Timer2_Timer();
    EXPECT_EQ(window.label3, "Connection Time: 3 Seconds");
    form.Timer2_Timer();
    EXPECT_EQ(window.label3, "Connection Time: 4 Seconds");
    for (int i = 4; i < 32767 + 5; ++i)
        form.Timer2_Timer();
    EXPECT_EQ(form.iConnectSeconds(), 32767);
    EXPECT_EQ(window.label3, "Connection Time: 32767 Seconds");
}

TEST(UpdateRunStatus, CloseLabelEndsAtOnce) {
    RecordingWindow window;
    Inet inet;
    UpdateForm form(window, inet, UpdateSettings{"/nonexistent", "http://127.0.0.1:1", "1.0.0"});
    form.Form_Load();
    form.lblClose_Click();
    EXPECT_EQ(window.events, (QStringList{"Normal", "End"}));
    form.lblClose_Click();
    EXPECT_EQ(window.events, (QStringList{"Normal", "End"}));
}

TEST(UpdateSettings, UrlsJoinTheBaseAndTheFixedPaths) {
    struct Case {
        const char* base;
        const char* page;
    };
    const Case cases[] = {
        {"http://127.0.0.1:8080", "http://127.0.0.1:8080/vexbrindle/update.html"},
        {"http://127.0.0.1:8080/", "http://127.0.0.1:8080/vexbrindle/update.html"},
        {"https://updates.example//", "https://updates.example/vexbrindle/update.html"},
    };
    for (const Case& c : cases) {
        const UpdateSettings settings{"/x", c.base, "1.0.0"};
        EXPECT_EQ(settings.UpdatePageUrl(), c.page) << c.base;
        EXPECT_TRUE(settings.NewExecutableUrl().endsWith(".example/vexbrindle/DrixaBilling2.exe") ||
                    settings.NewExecutableUrl().endsWith(":8080/vexbrindle/DrixaBilling2.exe"))
            << c.base;
    }
}

TEST(UpdateSettings, EnvironmentOverridesTheBuiltInServer) {
    qputenv("VEXBRINDLE_SERVER_URL", "http://127.0.0.1:9999");
    EXPECT_EQ(UpdateSettings::FromEnvironment().serverBaseUrl, "http://127.0.0.1:9999");
    qputenv("VEXBRINDLE_SERVER_URL", "");
    EXPECT_EQ(UpdateSettings::FromEnvironment().serverBaseUrl,
              vex::updater::DefaultServerBaseUrl());
    qunsetenv("VEXBRINDLE_SERVER_URL");
    EXPECT_EQ(UpdateSettings::FromEnvironment().ownVersion, "1.0.0");
}
