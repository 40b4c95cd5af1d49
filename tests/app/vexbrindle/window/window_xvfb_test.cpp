// The real vexbrindle window on an X server (the test command starts Xvfb and names it in
// VEXBRINDLE_TEST_DISPLAY): the program runs against a server on 127.0.0.1 and its layout is
// checked from screenshots of the whole screen.
#include "app/vexbrindle/window/frmVexbrindle.h"
#include "progressbar/widget/XPProgressBar.h"

#include "platform/gdi/gdi.h"
#include "tests/support/ProgramFolder.h"
#include "tests/support/TestServers.h"
#include "tests/support/WindowProcess.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QSignalSpy>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <optional>

namespace vex::qtui {
namespace {

using vex::testing::CannedReply;
using vex::testing::FaultServer;
using vex::testing::ProgramFolder;

constexpr int kDeadlineMs = 30000;
const QByteArray kPage = "/vexbrindle/update.html";
const QRgb kBackground = qRgb(224, 224, 224);
const QSize kClient(268, 102);
const QRect kBarPlace(16, 40, 233, 17);
const QRect kClosePlace(232, 16, 17, 17);

QImage Screenshot(const QString& display) {
    QProcess import;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display);
    import.setProcessEnvironment(env);
    import.start("import", {"-window", "root", "png:-"});
    if (!import.waitForFinished(20000) || import.exitCode() != 0) return {};
    return QImage::fromData(import.readAllStandardOutput(), "PNG")
        .convertToFormat(QImage::Format_RGB32);
}

// The window's client area: the one 268 x 102 block whose corners are the window's grey.
std::optional<QPoint> FindWindow(const QImage& screen) {
    for (int y = 0; y + kClient.height() <= screen.height(); ++y) {
        for (int x = 0; x + kClient.width() <= screen.width(); ++x) {
            if (screen.pixel(x, y) != kBackground) continue;
            const int r = x + kClient.width() - 1, b = y + kClient.height() - 1;
            if (screen.pixel(r, y) == kBackground && screen.pixel(x, b) == kBackground &&
                screen.pixel(r, b) == kBackground &&
                (x == 0 || screen.pixel(x - 1, y) != kBackground) &&
                (y == 0 || screen.pixel(x, y - 1) != kBackground))
                return QPoint(x, y);
        }
    }
    return std::nullopt;
}

// What the bar must look like at a value: the window's own bar painted off the screen.
QImage ExpectedBar(Long value) {
    frmVexbrindle reference;
    reference.SetBarValue(value);
    return reference.ProgressBar1()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Colours only: how each side stored its unused alpha byte does not matter.
bool SamePixels(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) return false;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if ((a.pixel(x, y) & 0xFFFFFF) != (b.pixel(x, y) & 0xFFFFFF)) return false;
    return true;
}

bool CloseLabelInked(const QImage& client) {
    const QRgb caption = gdi::BgrColor(gdi::GetSysColor(gdi::COLOR_ACTIVECAPTION)).ToQRgb();
    for (int y = kClosePlace.top(); y <= kClosePlace.bottom(); ++y)
        for (int x = kClosePlace.left(); x <= kClosePlace.right(); ++x) {
            const QRgb p = client.pixel(x, y);
            if (std::abs(qRed(p) - qRed(caption)) + std::abs(qGreen(p) - qGreen(caption)) +
                    std::abs(qBlue(p) - qBlue(caption)) <
                60)
                return true;
        }
    return false;
}

struct Look {
    bool found = false;
    bool barAsDesigned = false;
    bool backgroundAsDesigned = false;
    bool closeShown = false;
};

Look LookAt(const QImage& screen, const QImage& expectedBar) {
    Look look;
    const std::optional<QPoint> origin = FindWindow(screen);
    if (!origin) return look;
    look.found = true;
    const QImage client = screen.copy(QRect(*origin, kClient));
    look.barAsDesigned = SamePixels(client.copy(kBarPlace), expectedBar);
    // Margins round the bar and the right edge under the close label are bare background.
    look.backgroundAsDesigned = true;
    for (QPoint p : {QPoint(kBarPlace.left() - 1, kBarPlace.center().y()),
                     QPoint(kBarPlace.right() + 1, kBarPlace.center().y()),
                     QPoint(kBarPlace.center().x(), kBarPlace.top() - 1),
                     QPoint(kBarPlace.center().x(), kBarPlace.bottom() + 1), QPoint(5, 95),
                     QPoint(262, 50), QPoint(255, 95)})
        look.backgroundAsDesigned &= client.pixel(p) == kBackground;
    look.closeShown = CloseLabelInked(client);
    return look;
}

TEST(WindowOnXvfb, LayoutOnTheScreenDuringAndAfterTheRun) {
    const QString display = qEnvironmentVariable("VEXBRINDLE_TEST_DISPLAY");
    if (display.isEmpty()) GTEST_SKIP() << "VEXBRINDLE_TEST_DISPLAY is not set";

    // An installation of the updater at 1.0.0.
    const ProgramFolder folder("1.0.0\n");
    ASSERT_TRUE(folder.isValid());
    const QString program = folder.filePath("vexbrindle");
    ASSERT_TRUE(QFile::copy(VEXBRINDLE_EXECUTABLE, program));

    // The update page is held, then arrives empty: the run stops with the bar at 25 and the
    // window stays open, with no message box in front of it.
    FaultServer server;
    CannedReply page{200, "OK", ""};
    page.chunked = true;
    page.sendBytes = 0;
    page.after = CannedReply::After::Hold;
    server.Route(kPage, page);
    QSignalSpy requested(&server, &FaultServer::Requested);

    QProcess updater;
    vex::testing::StartOnDisplay(updater, program, display, server.BaseUrl());
    ASSERT_TRUE(updater.waitForStarted(10000));

    ASSERT_TRUE(requested.wait(kDeadlineMs));

    // During the fetch: the bar at 3, the close label hidden.
    const QImage barAt3 = ExpectedBar(3);
    Look during;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            during = LookAt(Screenshot(display), barAt3);
            return during.found && during.barAsDesigned && !during.closeShown;
        },
        kDeadlineMs));
    EXPECT_TRUE(during.found);
    EXPECT_TRUE(during.barAsDesigned);
    EXPECT_TRUE(during.backgroundAsDesigned);
    EXPECT_FALSE(during.closeShown);

    server.Release();

    // After the run: the bar at 25, the close label shown in its place.
    const QImage barAt25 = ExpectedBar(25);
    Look after;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            after = LookAt(Screenshot(display), barAt25);
            return after.found && after.barAsDesigned && after.closeShown;
        },
        kDeadlineMs));
    EXPECT_TRUE(after.barAsDesigned);
    EXPECT_TRUE(after.backgroundAsDesigned);
    EXPECT_TRUE(after.closeShown);

    // Terminating the program is the close label: it ends at once and cleanly.
    updater.terminate();
    ASSERT_TRUE(updater.waitForFinished(kDeadlineMs));
    EXPECT_EQ(updater.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(updater.exitCode(), 0);
}

} // namespace
} // namespace vex::qtui
