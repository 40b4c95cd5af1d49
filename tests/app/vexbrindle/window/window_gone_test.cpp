// The real vexbrindle window on an X server (VEXBRINDLE_TEST_DISPLAY, started by the test
// command) taken away by another program while a download stalls: the program must end, as its
// close label does or, when its display connection is cut, with status 1, and leave no file
// and no process behind.
#include "tests/support/QtPrinters.h"
#include "tests/support/TestServers.h"
#include "tests/support/WindowProcess.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>
#include <xcb/xcb.h>

namespace {

using vex::testing::CannedReply;
using vex::testing::FaultServer;

constexpr int kDeadlineMs = 30000;

// Another X client: finds a program's windows and does to them what a task manager would.
class OtherClient {
  public:
    explicit OtherClient(const QString& display)
        : connection_(xcb_connect(display.toLocal8Bit().constData(), nullptr)) {}
    ~OtherClient() { xcb_disconnect(connection_); }

    bool Connected() const { return xcb_connection_has_error(connection_) == 0; }

    // The viewable windows whose _NET_WM_PID is `pid`, anywhere in the tree.
    std::vector<xcb_window_t> WindowsOf(qint64 pid) {
        std::vector<xcb_window_t> found;
        const xcb_atom_t wmPid = Atom("_NET_WM_PID");
        const xcb_setup_t* setup = xcb_get_setup(connection_);
        for (auto it = xcb_setup_roots_iterator(setup); it.rem > 0; xcb_screen_next(&it))
            Collect(it.data->root, wmPid, pid, found);
        return found;
    }

    // What `xdotool windowclose` and some task managers do: the window is simply gone.
    void Destroy(xcb_window_t window) {
        xcb_destroy_window(connection_, window);
        xcb_flush(connection_);
    }

    // What xkill does: the server drops the program's connection, its windows with it.
    void KillClient(xcb_window_t window) {
        xcb_kill_client(connection_, window);
        xcb_flush(connection_);
    }

    // What a window manager sends when the user closes the window politely.
    void AskToClose(xcb_window_t window) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = window;
        event.type = Atom("WM_PROTOCOLS");
        event.data.data32[0] = Atom("WM_DELETE_WINDOW");
        event.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(connection_, 0, window, XCB_EVENT_MASK_NO_EVENT,
                       reinterpret_cast<const char*>(&event));
        xcb_flush(connection_);
    }

  private:
    xcb_atom_t Atom(const char* name) {
        const auto cookie = xcb_intern_atom(connection_, 0, std::strlen(name), name);
        std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
            xcb_intern_atom_reply(connection_, cookie, nullptr), &std::free);
        return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    }

    void Collect(xcb_window_t window, xcb_atom_t wmPid, qint64 pid,
                 std::vector<xcb_window_t>& found) {
        std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> property(
            xcb_get_property_reply(
                connection_,
                xcb_get_property(connection_, 0, window, wmPid, XCB_ATOM_CARDINAL, 0, 1), nullptr),
            &std::free);
        std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&std::free)> attributes(
            xcb_get_window_attributes_reply(
                connection_, xcb_get_window_attributes(connection_, window), nullptr),
            &std::free);
        if (property && xcb_get_property_value_length(property.get()) == 4 && attributes &&
            attributes->map_state == XCB_MAP_STATE_VIEWABLE &&
            *static_cast<const quint32*>(xcb_get_property_value(property.get())) == pid) {
            found.push_back(window);
        }
        std::unique_ptr<xcb_query_tree_reply_t, decltype(&std::free)> tree(
            xcb_query_tree_reply(connection_, xcb_query_tree(connection_, window), nullptr),
            &std::free);
        if (!tree) return;
        const xcb_window_t* children = xcb_query_tree_children(tree.get());
        for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i)
            Collect(children[i], wmPid, pid, found);
    }

    xcb_connection_t* connection_;
};

TEST(WindowTakenAway, DuringAStalledDownloadTheProgramEndsAndLeavesNoFile) {
    const QString display = qEnvironmentVariable("VEXBRINDLE_TEST_DISPLAY");
    if (display.isEmpty()) GTEST_SKIP() << "VEXBRINDLE_TEST_DISPLAY is not set";

    struct Case {
        const char* name; // the fault the row catches
        std::function<void(OtherClient&, xcb_window_t)> takeAway;
        int exitCode; // 1: the display went away under the program, which Qt ends itself
    };
    const Case cases[] = {
        {"destroyed window leaves the process running",
         [](OtherClient& x, xcb_window_t w) { x.Destroy(w); }, 0},
        {"close from the window manager ignored",
         [](OtherClient& x, xcb_window_t w) { x.AskToClose(w); }, 0},
        {"killed connection leaves the temporary file",
         [](OtherClient& x, xcb_window_t w) { x.KillClient(w); }, 1},
    };
    // The X server resets itself when its last client leaves and refuses connections
    // meanwhile: connect until it answers, and stay connected across the rows.
    std::unique_ptr<OtherClient> other;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            other = std::make_unique<OtherClient>(display);
            return other->Connected();
        },
        kDeadlineMs))
        << "no X server at " << display.toStdString();
    OtherClient& x = *other;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);

        QTemporaryDir folder;
        const QString program = folder.filePath("vexbrindle");
        ASSERT_TRUE(QFile::copy(VEXBRINDLE_EXECUTABLE, program));
        QDir(folder.path()).mkdir("Update");
        QFile ver(folder.filePath("Update/ver.dat"));
        ASSERT_TRUE(ver.open(QIODevice::WriteOnly));
        ver.write("1.0.0\n");
        ver.close();

        // A newer version whose download stalls after its first bytes.
        FaultServer server;
        server.Route("/vexbrindle/update.html", {.body = "2.0\r\n"});
        server.Route("/vexbrindle/DrixaBilling2.exe", {.body = vex::testing::PatternBytes(400'000),
                                                       .sendBytes = 100'000,
                                                       .after = CannedReply::After::KeepOpen});
        QSignalSpy requested(&server, &FaultServer::Requested);

        QProcess updater;
        vex::testing::StartOnDisplay(updater, program, display, server.BaseUrl());
        ASSERT_TRUE(updater.waitForStarted(kDeadlineMs));

        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return server.RequestCount("/vexbrindle/DrixaBilling2.exe") > 0; }, kDeadlineMs));
        std::vector<xcb_window_t> windows;
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return !(windows = x.WindowsOf(updater.processId())).empty(); }, kDeadlineMs));
        ASSERT_EQ(windows.size(), 1u);

        c.takeAway(x, windows.front());

        const bool ended =
            QTest::qWaitFor([&] { return updater.state() == QProcess::NotRunning; }, kDeadlineMs);
        EXPECT_TRUE(ended);
        if (!ended) {
            updater.kill();
            updater.waitForFinished();
        }
        EXPECT_EQ(updater.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(updater.exitCode(), c.exitCode);
        EXPECT_EQ(
            QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            (QStringList{"Update", "vexbrindle"}));
    }
}

} // namespace
