// The real vexbrindle window on an X server (VEXBRINDLE_TEST_DISPLAY, started by the test
// command) taken away by another program while a download stalls, and each of its message
// boxes, or the window behind one, taken away while the box waits: the program must end, as its
// close label does or, when its display connection is cut, with status 1, start nothing, and
// leave no stray file and no process behind.
#include "tests/support/Files.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/TestServers.h"
#include "tests/support/WindowProcess.h"

#include <QDir>
#include <QFile>
#include <QFileDevice>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <vector>
#include <xcb/xcb.h>

namespace {

using vex::testing::CannedReply;
using vex::testing::FaultServer;

constexpr int kDeadlineMs = 30000;

// A top-level window of a program as another client sees it.
struct XWindow {
    xcb_window_t id;
    bool viewable;
    bool dialog; // a message box
    QString title;
};

// Another X client: finds a program's windows and does to them what a task manager would.
class OtherClient {
  public:
    explicit OtherClient(const QString& display)
        : connection_(xcb_connect(display.toLocal8Bit().constData(), nullptr)) {}
    ~OtherClient() { xcb_disconnect(connection_); }

    bool Connected() const { return xcb_connection_has_error(connection_) == 0; }

    // The windows whose _NET_WM_PID is `pid`, anywhere in the tree, hidden ones included.
    std::vector<XWindow> AllWindowsOf(qint64 pid) {
        std::vector<XWindow> found;
        const xcb_setup_t* setup = xcb_get_setup(connection_);
        for (auto it = xcb_setup_roots_iterator(setup); it.rem > 0; xcb_screen_next(&it))
            Collect(it.data->root, pid, found);
        return found;
    }

    // The viewable ones.
    std::vector<xcb_window_t> WindowsOf(qint64 pid) {
        std::vector<xcb_window_t> viewable;
        for (const XWindow& w : AllWindowsOf(pid))
            if (w.viewable) viewable.push_back(w.id);
        return viewable;
    }

    // The program's message box on the screen titled `title`, if there is one.
    std::optional<XWindow> BoxOf(qint64 pid, const QString& title) {
        for (const XWindow& w : AllWindowsOf(pid))
            if (w.viewable && w.dialog && w.title == title) return w;
        return std::nullopt;
    }

    // The program's main window, shown or hidden.
    std::optional<XWindow> MainWindowOf(qint64 pid) {
        for (const XWindow& w : AllWindowsOf(pid))
            if (!w.dialog) return w;
        return std::nullopt;
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

    using PropertyReply = std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)>;

    PropertyReply Property(xcb_window_t window, const char* name, xcb_atom_t type) {
        return PropertyReply(xcb_get_property_reply(
                                 connection_,
                                 xcb_get_property(connection_, 0, window, Atom(name), type, 0, 256),
                                 nullptr),
                             &std::free);
    }

    void Collect(xcb_window_t window, qint64 pid, std::vector<XWindow>& found) {
        const PropertyReply wmPid = Property(window, "_NET_WM_PID", XCB_ATOM_CARDINAL);
        if (wmPid && xcb_get_property_value_length(wmPid.get()) == 4 &&
            *static_cast<const quint32*>(xcb_get_property_value(wmPid.get())) == pid) {
            std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&std::free)> attributes(
                xcb_get_window_attributes_reply(
                    connection_, xcb_get_window_attributes(connection_, window), nullptr),
                &std::free);
            // Qt names a dialog's type first.
            const PropertyReply type = Property(window, "_NET_WM_WINDOW_TYPE", XCB_ATOM_ATOM);
            const bool dialog =
                type && xcb_get_property_value_length(type.get()) >= 4 &&
                *static_cast<const xcb_atom_t*>(xcb_get_property_value(type.get())) ==
                    Atom("_NET_WM_WINDOW_TYPE_DIALOG");
            const PropertyReply name = Property(window, "_NET_WM_NAME", XCB_ATOM_ANY);
            const QString title =
                name ? QString::fromUtf8(
                           static_cast<const char*>(xcb_get_property_value(name.get())),
                           xcb_get_property_value_length(name.get()))
                     : QString();
            found.push_back({window, attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE,
                             dialog, title});
        }
        std::unique_ptr<xcb_query_tree_reply_t, decltype(&std::free)> tree(
            xcb_query_tree_reply(connection_, xcb_query_tree(connection_, window), nullptr),
            &std::free);
        if (!tree) return;
        const xcb_window_t* children = xcb_query_tree_children(tree.get());
        for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i)
            Collect(children[i], pid, found);
    }

    xcb_connection_t* connection_;
};

// The X server resets itself when its last client leaves and refuses connections meanwhile:
// connect until it answers, and stay connected across the rows.
std::unique_ptr<OtherClient> ConnectTo(const QString& display) {
    std::unique_ptr<OtherClient> other;
    const bool connected = QTest::qWaitFor(
        [&] {
            other = std::make_unique<OtherClient>(display);
            return other->Connected();
        },
        kDeadlineMs);
    return connected ? std::move(other) : nullptr;
}

// A copy of the executable installed at 1.0.0 in a folder of its own.
bool Install(const QTemporaryDir& folder) {
    if (!QFile::copy(VEXBRINDLE_EXECUTABLE, folder.filePath("vexbrindle"))) return false;
    QDir(folder.path()).mkdir("Update");
    QFile ver(folder.filePath("Update/ver.dat"));
    return ver.open(QIODevice::WriteOnly) && ver.write("1.0.0\n") == 6;
}

// Waits for the updater to end by itself; kills it when it does not.
bool EndsByItself(QProcess& updater) {
    const bool ended =
        QTest::qWaitFor([&] { return updater.state() == QProcess::NotRunning; }, kDeadlineMs);
    if (!ended) {
        updater.kill();
        updater.waitForFinished();
    }
    return ended;
}

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
    const std::unique_ptr<OtherClient> other = ConnectTo(display);
    ASSERT_TRUE(other) << "no X server at " << display.toStdString();
    OtherClient& x = *other;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);

        QTemporaryDir folder;
        ASSERT_TRUE(Install(folder));
        const QString program = folder.filePath("vexbrindle");

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

        EXPECT_TRUE(EndsByItself(updater));
        EXPECT_EQ(updater.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(updater.exitCode(), c.exitCode);
        EXPECT_EQ(vex::testing::Entries(folder.path()), (QStringList{"Update", "vexbrindle"}));
    }
}

TEST(WindowTakenAway, WhileAMessageBoxWaitsTheProgramEndsAndStartsNothing) {
    const QString display = qEnvironmentVariable("VEXBRINDLE_TEST_DISPLAY");
    if (display.isEmpty()) GTEST_SKIP() << "VEXBRINDLE_TEST_DISPLAY is not set";

    const QString kTitle = QStringLiteral("Vexbrindle");
    const QString kRestartTitle = QStringLiteral("Restart Drixa Billing");
    const CannedReply noUpdate{.body = "1.0.0\r\n"};
    const CannedReply update{.body = "2.0\r\n"};
    const CannedReply notFound{.status = 404, .reason = "Not Found", .body = "x"};
    const QByteArray newExecutable = vex::testing::PatternBytes(100'000);
    enum class Target { Box, MainWindow };
    struct Case {
        const char* name; // the fault the row catches
        CannedReply page;
        bool closeFirstBox; // close "There are no updates" politely to reach the question
        QString boxTitle;   // the box that waits
        Target target;
    };
    const Case cases[] = {
        {"destroyed no-updates box leaves the process running", noUpdate, false, kTitle,
         Target::Box},
        {"window destroyed behind the no-updates box leaves the process running", noUpdate, false,
         kTitle, Target::MainWindow},
        {"destroyed restart question leaves the process running or answers Yes", noUpdate, true,
         kRestartTitle, Target::Box},
        {"hidden window destroyed during the restart question leaves the process running", noUpdate,
         true, kRestartTitle, Target::MainWindow},
        {"destroyed rename box leaves the process running", update, false, kTitle, Target::Box},
        {"window destroyed behind the rename box leaves the process running", update, false, kTitle,
         Target::MainWindow},
        {"destroyed failure box leaves the process running", notFound, false, kTitle, Target::Box},
        {"window destroyed behind the failure box leaves the process running", notFound, false,
         kTitle, Target::MainWindow},
    };
    const std::unique_ptr<OtherClient> other = ConnectTo(display);
    ASSERT_TRUE(other) << "no X server at " << display.toStdString();
    OtherClient& x = *other;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);

        QTemporaryDir folder;
        ASSERT_TRUE(Install(folder));
        // The program a Yes would start, leaving a mark; the download replaces it.
        QTemporaryDir outside;
        const QString started = outside.filePath("started");
        QFile restartTarget(folder.filePath("DrixaBilling2.exe"));
        ASSERT_TRUE(restartTarget.open(QIODevice::WriteOnly));
        restartTarget.write("#!/bin/sh\necho started > '" + started.toUtf8() + "'\n");
        restartTarget.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                     QFileDevice::ExeOwner);
        restartTarget.close();

        FaultServer server;
        server.Route("/vexbrindle/update.html", c.page);
        server.Route("/vexbrindle/DrixaBilling2.exe", {.body = newExecutable});

        QProcess updater;
        vex::testing::StartOnDisplay(updater, folder.filePath("vexbrindle"), display,
                                     server.BaseUrl());
        ASSERT_TRUE(updater.waitForStarted(kDeadlineMs));
        const qint64 pid = updater.processId();

        std::optional<XWindow> box;
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return (box = x.BoxOf(pid, kTitle)).has_value(); }, kDeadlineMs));
        if (c.closeFirstBox) {
            x.AskToClose(box->id);
            ASSERT_TRUE(QTest::qWaitFor(
                [&] { return (box = x.BoxOf(pid, c.boxTitle)).has_value(); }, kDeadlineMs));
        }
        const std::optional<XWindow> main = x.MainWindowOf(pid);
        ASSERT_TRUE(main.has_value());

        x.Destroy(c.target == Target::Box ? box->id : main->id);

        EXPECT_TRUE(EndsByItself(updater));
        EXPECT_EQ(updater.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(updater.exitCode(), 0);
        EXPECT_EQ(vex::testing::Entries(folder.path()),
                  (QStringList{"DrixaBilling2.exe", "Update", "vexbrindle"}));
        EXPECT_FALSE(QFile::exists(started)) << "a program was started";
        // A download that was complete when its box showed is kept.
        QFile exe(folder.filePath("DrixaBilling2.exe"));
        ASSERT_TRUE(exe.open(QIODevice::ReadOnly));
        EXPECT_EQ(exe.readAll() == newExecutable, c.page.body == update.body);
    }
}

} // namespace
