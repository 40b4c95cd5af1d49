// The whole update run in the updater window, on Qt's offscreen platform, against a server on
// 127.0.0.1. Message boxes are answered by the test; timers are driven by raising their ticks;
// the end of the program is recorded instead of quitting.
#include "app/vexbrindle/window/ClickLabel.h"
#include "app/vexbrindle/window/UpdaterWindow.h"
#include "progressbar/widget/XPProgressBar.h"

#include "tests/support/MessageBoxAnswerer.h"
#include "tests/support/ProgramFolder.h"
#include "tests/support/TestServers.h"

#include <QDir>
#include <QLabel>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <deque>
#include <memory>

namespace vex::qtui {
namespace {

using vex::testing::CannedReply;
using vex::testing::FaultServer;
using vex::testing::MessageBoxAnswerer;
using vex::testing::ProgramFolder;

constexpr int kDeadlineMs = 30000;
const QByteArray kPage = "/vexbrindle/update.html";
const QByteArray kExe = "/vexbrindle/DrixaBilling2.exe";

// An installation (program folder with Update/ver.dat at 1.0.0), a server and the window.
class WindowRun : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(folder.isValid()); }

    // Creates the window; boxes get `answers` in order.
    void Create(std::deque<QMessageBox::StandardButton> answers = {}) {
        answerer = std::make_unique<MessageBoxAnswerer>(std::move(answers));
        updater = std::make_unique<UpdaterWindow>(
            updater::UpdateSettings{folder.path(), server.BaseUrl(), "1.0.0"});
        frmVexbrindle& w = updater->window();
        w.SetEndAction([this] { ++ends; });
        w.SetShellAction([this](const QString& program, int style) {
            started << QStringLiteral("%1 %2").arg(program).arg(style);
            return true;
        });
        // Connected after the window's own handlers: runs when Form_Activate has returned.
        QObject::connect(&w, &frmVexbrindle::Form_Activate, &w, [this] { ++runsReturned; });
    }

    // Starts the window and processes events until the run has returned.
    void RunToTheEnd() {
        updater->Start();
        ASSERT_TRUE(QTest::qWaitFor([this] { return runsReturned > 0; }, kDeadlineMs));
        QCoreApplication::processEvents();
    }

    frmVexbrindle& window() { return updater->window(); }

    ProgramFolder folder;
    FaultServer server;
    std::unique_ptr<MessageBoxAnswerer> answerer;
    std::unique_ptr<UpdaterWindow> updater;
    int ends = 0;
    int runsReturned = 0;
    QStringList started;
};

TEST_F(WindowRun, NewerVersionIsDownloadedAndTheUserToldToRenameIt) {
    const QByteArray exe = vex::testing::PatternBytes(300'000);
    server.Route(kPage, CannedReply{200, "OK", "1.0.1\r\n"});
    server.Route(kExe, CannedReply{200, "OK", exe});
    Create({QMessageBox::Ok});
    RunToTheEnd();

    ASSERT_EQ(answerer->seen().size(), 1u);
    EXPECT_EQ(answerer->seen()[0].text,
              "You must rename DrixaBilling2.exe to DrixaBilling.exe now");
    EXPECT_EQ(answerer->seen()[0].title, "Vexbrindle");
    EXPECT_EQ(answerer->seen()[0].buttons, QMessageBox::Ok);
    EXPECT_TRUE(answerer->seen()[0].updaterWindowVisible);

    EXPECT_EQ(window().Label1()->text(), "Completed Downloading Updated Version 1.0.1");
    EXPECT_EQ(window().ProgressBar1()->value(), 100);
    EXPECT_EQ(folder.Read("DrixaBilling2.exe"), exe);
    EXPECT_EQ(folder.Files(), QStringList({"DrixaBilling2.exe"}));
    EXPECT_EQ(ends, 1);
    EXPECT_TRUE(started.isEmpty());
    EXPECT_EQ(runsReturned, 1); // the rename box returning did not activate the run again
}

TEST_F(WindowRun, NoNewerVersionOffersARestart) {
    struct Case {
        const char* name;
        QMessageBox::StandardButton answer;
        QStringList expectedStarts;
    };
    const Case cases[] = {
        {"Yes starts the new executable minimised", QMessageBox::Yes, {"DrixaBilling2.exe 2"}},
        {"No starts nothing", QMessageBox::No, {}},
    };
    server.Route(kPage, CannedReply{200, "OK", "1.0.0\n"});
    for (const Case& c : cases) {
        ends = runsReturned = 0;
        started.clear();
        Create({QMessageBox::Ok, c.answer});
        RunToTheEnd();

        ASSERT_EQ(answerer->seen().size(), 2u) << c.name;
        EXPECT_EQ(answerer->seen()[0].text, "There are no updates available at this time");
        EXPECT_EQ(answerer->seen()[0].title, "Vexbrindle");
        EXPECT_TRUE(answerer->seen()[0].updaterWindowVisible);
        EXPECT_EQ(answerer->seen()[1].text, "Would you like to restart the application now? ");
        EXPECT_EQ(answerer->seen()[1].title, "Restart Drixa Billing");
        EXPECT_EQ(answerer->seen()[1].buttons, QMessageBox::Yes | QMessageBox::No);
        // The question stands alone: the window was hidden first.
        EXPECT_FALSE(answerer->seen()[1].updaterWindowVisible) << c.name;
        EXPECT_EQ(window().Label1()->text(), "There are no updates available at this time");
        EXPECT_EQ(started, c.expectedStarts) << c.name;
        EXPECT_EQ(ends, 1) << c.name;
    }
}

TEST_F(WindowRun, StatusLineFollowsTheTransferAndTheCloseLabelEndsTheProgram) {
    // The page is held until the test has looked at the window during the fetch; the new
    // executable then fails, which stops the run with the window open.
    CannedReply held{200, "OK", "1.0.1\n"};
    held.sendBytes = 0;
    held.after = CannedReply::After::Hold;
    server.Route(kPage, held);
    Create({QMessageBox::Ok});

    QString statusDuringFetch, timeAfterThreeTicks;
    bool closeShownDuringFetch = true;
    QObject::connect(&server, &FaultServer::Requested, &server, [&](const QByteArray& path) {
        if (path != kPage) return;
        emit window().Timer1_Timer();
        statusDuringFetch = window().Label2()->text();
        closeShownDuringFetch = window().lblClose()->isVisible();
        for (int i = 0; i < 3; ++i)
            emit window().Timer2_Timer();
        timeAfterThreeTicks = window().Label3()->text();
        // The held reply exists once this request has been answered.
        QMetaObject::invokeMethod(
            &server, [&] { server.Release(); }, Qt::QueuedConnection);
    });
    RunToTheEnd();

    EXPECT_EQ(statusDuringFetch, "Status: Checking For Updated Version ...");
    EXPECT_FALSE(closeShownDuringFetch);
    EXPECT_EQ(timeAfterThreeTicks, "Connection Time: 3 Seconds");

    // The page arrived; the failed download was reported, the bar is back at 3, the
    // connection time stopped.
    EXPECT_EQ(server.RequestCount(kExe), 1);
    ASSERT_EQ(answerer->seen().size(), 1u);
    EXPECT_EQ(answerer->seen()[0].title, "Vexbrindle");
    EXPECT_EQ(window().ProgressBar1()->value(), 3);
    EXPECT_FALSE(window().Timer2().isActive());
    EXPECT_TRUE(window().Timer1().isActive());
    EXPECT_EQ(ends, 0);

    emit window().Timer1_Timer();
    EXPECT_EQ(window().Label2()->text(), "Status: Server down..");
    EXPECT_TRUE(window().lblClose()->isVisible());

    QTest::mouseClick(window().lblClose(), Qt::LeftButton);
    EXPECT_EQ(ends, 1);
    EXPECT_TRUE(window().HasEnded());
    EXPECT_FALSE(window().isVisible());
    EXPECT_EQ(folder.Files(), QStringList());
}

TEST_F(WindowRun, ClosingTheWindowDuringADownloadLeavesNoFile) {
    CannedReply slow{200, "OK", vex::testing::PatternBytes(400'000)};
    slow.sendBytes = 100'000;
    slow.after = CannedReply::After::Hold;
    server.Route(kPage, CannedReply{200, "OK", "1.0.1\n"});
    server.Route(kExe, slow);
    Create();

    bool closed = false;
    QObject::connect(&updater->Inet1(), &inet::Inet::BytesWritten, &window(), [&](qint64 total) {
        if (closed || total < 100'000) return;
        closed = true;
        emit window().Timer1_Timer();
        EXPECT_EQ(window().Label2()->text(), "Status: Downloading Updates..");
        window().close(); // the window manager's close button
    });
    RunToTheEnd();

    EXPECT_TRUE(closed);
    EXPECT_EQ(ends, 1);
    EXPECT_TRUE(answerer->seen().empty()); // abandoned silently, no failure reported
    EXPECT_EQ(folder.Files(), QStringList());
    EXPECT_EQ(QDir(folder.filePath("Update")).entryList(QDir::Files),
              QStringList({"update.html", "ver.dat"}));

    // Nothing runs any more.
    const QString time = window().Label3()->text();
    emit window().Timer2_Timer();
    EXPECT_EQ(window().Label3()->text(), time);
    EXPECT_EQ(ends, 1);
}

TEST_F(WindowRun, UnattendedStoppedRunLeavesThroughTheCloseLabel) {
    server.Route(kPage, CannedReply{404, "Not Found", "gone"});
    Create();
    updater->SetUnattended(1);
    updater->Start();
    ASSERT_TRUE(QTest::qWaitFor([this] { return ends > 0; }, kDeadlineMs));
    ASSERT_EQ(answerer->seen().size(), 1u); // the failure was reported
    EXPECT_EQ(runsReturned, 1);
    EXPECT_EQ(ends, 1);
}

TEST_F(WindowRun, ConnectionTimeStopsCountingAt32767) {
    server.Route(kPage, CannedReply{404, "Not Found", "gone"});
    Create({QMessageBox::Ok});
    RunToTheEnd();
    for (int i = 0; i < 32767 + 5; ++i)
        emit window().Timer2_Timer();
    EXPECT_EQ(window().Label3()->text(), "Connection Time: 32767 Seconds");
}

} // namespace
} // namespace vex::qtui
