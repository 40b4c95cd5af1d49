#include "tests/support/ProgramFolder.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/TestCertificates.h"
#include "tests/support/TestServers.h"

#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

using vex::testing::CannedReply;
using vex::testing::FaultServer;
using vex::testing::NginxServer;
using vex::testing::ProgramFolder;

namespace {

struct Result {
    int exitCode = -1;
    QProcess::ExitStatus status = QProcess::CrashExit;
    QString out;
    QString err;
};

// A copy of the executable in a folder of its own, as installed beside Drixa Billing.
struct Installation {
    ProgramFolder folder;

    explicit Installation(std::optional<QByteArray> verDat = "1.0.0\r\n")
        : folder(std::move(verDat)) {
        QFile::copy(VEXBRINDLE_EXECUTABLE, folder.filePath("vexbrindle"));
    }

    // Runs the copy with its standard input closed (not a terminal), keeping this process's
    // event loop running so that servers in this process can answer it.
    Result Run(const QStringList& args, const QString& serverUrl, bool withDisplay = false,
               std::function<void(QProcess&)> onStarted = {}) const {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.remove("QT_QPA_PLATFORM");
        if (withDisplay) env.insert("DISPLAY", ":99999");
        env.insert("VEXBRINDLE_SERVER_URL", serverUrl);
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(folder.path());
        process.setStandardInputFile(QProcess::nullDevice());
        QEventLoop loop;
        QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(120'000, &loop, &QEventLoop::quit); // a hang fails, never blocks
        process.start(folder.filePath("vexbrindle"), args);
        if (!process.waitForStarted()) return {};
        if (onStarted) onStarted(process);
        if (process.state() != QProcess::NotRunning) loop.exec();
        if (process.state() != QProcess::NotRunning) process.kill();
        process.waitForFinished();
        return {process.exitCode(), process.exitStatus(),
                QString::fromLocal8Bit(process.readAllStandardOutput()),
                QString::fromLocal8Bit(process.readAllStandardError())};
    }
};

class ConsoleFrontEnd : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        nginx_ = std::make_unique<NginxServer>();
        if (nginx_->Started()) nginx_->Put("vexbrindle/DrixaBilling2.exe", NewExecutable());
    }
    static void TearDownTestSuite() { nginx_.reset(); }
    void SetUp() override { ASSERT_TRUE(nginx_->Started()) << nginx_->StartError().toStdString(); }
    static QByteArray NewExecutable() { return vex::testing::PatternBytes(3 * 1024 * 1024, 5); }

    static std::unique_ptr<NginxServer> nginx_;
};

std::unique_ptr<NginxServer> ConsoleFrontEnd::nginx_;

} // namespace

TEST(ConsoleOptions, HelpVersionAndUnknownOptions) {
    struct Case {
        const char* name; // the fault the row catches
        QStringList args;
        int exitCode;
        QString out;
        QString err;
    };
    const Case cases[] = {
        {"--help not answered", {"--help"}, 0, "Usage: vexbrindle", ""},
        {"--version not the build's version", {"--version"}, 0, "vexbrindle 1.0.0\n", ""},
        {"unknown option ignored", {"--bogus"}, 2, "", "unknown option '--bogus'"},
        {"stray argument ignored", {"--console", "extra"}, 2, "", "unknown option 'extra'"},
        {"escape codes of an unknown option reach the terminal",
         {"--\x1b]0;owned\x07"},
         2,
         "",
         "unknown option '--\\x1B]0;owned\\x07'"},
    };
    Installation app;
    for (const Case& c : cases) {
        const Result r = app.Run(c.args, "http://127.0.0.1:1");
        EXPECT_EQ(r.exitCode, c.exitCode) << c.name;
        EXPECT_TRUE(r.out.contains(c.out)) << c.name << ": " << r.out.toStdString();
        EXPECT_TRUE(r.err.contains(c.err)) << c.name << ": " << r.err.toStdString();
    }
}

TEST_F(ConsoleFrontEnd, DownloadsANewerVersionAndExitsZero) {
    nginx_->Put("vexbrindle/update.html", "1.2.0\r\n");
    Installation app;
    const Result r = app.Run({"--console"}, nginx_->BaseUrl());
    EXPECT_EQ(r.exitCode, 0) << r.out.toStdString() << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("Completed Downloading Updated Version 1.2.0\n"))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("You must rename DrixaBilling2.exe to DrixaBilling.exe now\n"));
    QFile exe(app.folder.filePath("DrixaBilling2.exe"));
    ASSERT_TRUE(exe.open(QIODevice::ReadOnly));
    EXPECT_TRUE(exe.readAll() == NewExecutable());
}

TEST_F(ConsoleFrontEnd, ACheaperFormThatCannotBeUsedIsNotedOnALineOfItsOwn) {
    nginx_->Put("vexbrindle/update.html", "1.2.0\r\n");
    // Not a zstd frame: the compressed form fails and the whole file follows.
    nginx_->Put("vexbrindle/DrixaBilling2.exe.zst", "this is not a zstd frame");
    Installation app;
    const Result r = app.Run({"--console"}, nginx_->BaseUrl());
    QFile::remove(nginx_->Root() + "/vexbrindle/DrixaBilling2.exe.zst");
    EXPECT_EQ(r.exitCode, 0) << r.out.toStdString() << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("\nCould not use DrixaBilling2.exe.zst, trying the next form: "))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("Completed Downloading Updated Version 1.2.0\n"));
    QFile exe(app.folder.filePath("DrixaBilling2.exe"));
    ASSERT_TRUE(exe.open(QIODevice::ReadOnly));
    EXPECT_TRUE(exe.readAll() == NewExecutable());
}

TEST_F(ConsoleFrontEnd, NoUpdateAnswersTheRestartQuestionWithoutAKeyboard) {
    struct Case {
        const char* name; // the fault the row catches
        QStringList args;
        bool withDisplay;
        QString answerLine;
        bool started;
    };
    const Case cases[] = {
        {"no keyboard answered Yes", {"--console"}, false, "[y/N] n", false},
        {"--yes not honoured", {"--console", "--yes"}, false, "[y/N] y", true},
        {"no display does not fall back to the terminal", {}, false, "[y/N] n", false},
    };
    nginx_->Put("vexbrindle/update.html", "1.0.0\r\n");
    for (const Case& c : cases) {
        Installation app;
        const QString marker = app.folder.filePath("started");
        app.folder.Write("DrixaBilling2.exe",
                         "#!/bin/sh\necho started > '" + marker.toUtf8() + "'\n");
        QFile::setPermissions(app.folder.filePath("DrixaBilling2.exe"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const Result r = app.Run(c.args, nginx_->BaseUrl(), c.withDisplay);
        EXPECT_EQ(r.exitCode, 0) << c.name << ": " << r.out.toStdString() << r.err.toStdString();
        EXPECT_TRUE(r.out.contains("There are no updates available at this time\n")) << c.name;
        EXPECT_TRUE(r.out.contains("Restart Drixa Billing: Would you like to restart the "
                                   "application now? " +
                                   c.answerLine + "\n"))
            << c.name << ": " << r.out.toStdString();
        if (c.started) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(marker); }, 30'000)) << c.name;
        } else {
            EXPECT_FALSE(QFile::exists(marker)) << c.name;
        }
    }
}

TEST(ConsoleStopped, FailedFetchPrintsWhyAndExitsOne) {
    FaultServer server;
    server.Route("/vexbrindle/update.html", {.status = 404, .reason = "Not Found", .body = "x"});
    Installation app;
    const Result r = app.Run({"--console"}, server.BaseUrl());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.contains("HTTP 404 Not Found\n")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("The update stopped: HTTP 404 Not Found\n")) << r.out.toStdString();
}

TEST(ConsoleStopped, TerminationDuringTheDownloadLeavesNoFile) {
    FaultServer server;
    server.Route("/vexbrindle/update.html", {.body = "2.0\r\n"});
    server.Route("/vexbrindle/DrixaBilling2.exe", {.body = vex::testing::PatternBytes(400'000),
                                                   .sendBytes = 200'000,
                                                   .after = CannedReply::After::Hold});
    Installation app;
    const Result r = app.Run({"--console"}, server.BaseUrl(), false, [&](QProcess& process) {
        QObject::connect(&server, &FaultServer::Requested, &process,
                         [&process](const QByteArray& path) {
                             if (path.endsWith(".exe")) process.terminate();
                         });
    });
    EXPECT_EQ(r.status, QProcess::NormalExit);
    EXPECT_EQ(r.exitCode, 128 + 15) << r.out.toStdString();
    EXPECT_EQ(app.folder.Entries(), (QStringList{"Update", "vexbrindle"}));
}

TEST(ConsoleStopped, UntrustedHttpsServerIsRefused) {
    const vex::testing::TestCertificates certificates;
    ASSERT_TRUE(certificates.Made()) << certificates.MakeError().toStdString();
    NginxServer server(
        {.certificate = certificates.ServerCertificate(), .key = certificates.ServerKey()});
    ASSERT_TRUE(server.Started()) << server.StartError().toStdString();
    server.Put("vexbrindle/update.html", "2.0\r\n");
    Installation app;
    const Result r = app.Run({"--console"}, server.BaseUrl());
    EXPECT_EQ(r.exitCode, 1) << r.out.toStdString() << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("The update stopped: The certificate of 127.0.0.1 is not trusted: "))
        << r.out.toStdString();
    EXPECT_EQ(app.folder.Entries(), (QStringList{"Update", "vexbrindle"}));
}
