// The terminal front end against a hostile server and a hostile folder: links planted at the
// files it writes, escape codes in what the server sends, a byte-order mark, a stray quote, a
// full disk and Ctrl+C at the restart question. Each row runs the real executable, installed
// in a folder of its own, against a server on 127.0.0.1.
#include "tests/support/Files.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/SmallDisk.h"
#include "tests/support/TestServers.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <functional>
#include <memory>
#include <optional>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

using vex::testing::CannedReply;
using vex::testing::Entries;
using vex::testing::FaultServer;
using vex::testing::ReadAll;

namespace {

const QByteArray kNewExecutable = vex::testing::PatternBytes(1024 * 1024, 11);

void Write(const QString& path, const QByteArray& bytes, mode_t mode = 0644) {
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
    file.close();
    ::chmod(QFile::encodeName(path).constData(), mode);
}

// The mode of what stands at the path itself; nullopt unless it is a regular file.
std::optional<mode_t> RegularFileMode(const QString& path) {
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return std::nullopt;
    }
    return st.st_mode & 07777;
}

mode_t CurrentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// A folder outside the installation that links may point into.
struct Outside {
    QTemporaryDir dir;
    QString File(const QString& name) const { return dir.filePath(name); }
};

// The updater installed at 1.0.0 in a folder of its own, on a small disk when asked.
struct Installed {
    QTemporaryDir temporary;
    std::unique_ptr<vex::testing::SmallDisk> disk;
    QString folder;

    explicit Installed(bool onSmallDisk) {
        folder = temporary.path();
        if (onSmallDisk) {
            // Room for the program and its small files, not for the new executable.
            const qint64 programSize = QFileInfo(VEXBRINDLE_EXECUTABLE).size();
            disk = std::make_unique<vex::testing::SmallDisk>(programSize + 256 * 1024);
            folder = disk->Path();
        }
        QFile::copy(VEXBRINDLE_EXECUTABLE, File("vexbrindle"));
        QDir(folder).mkdir("Update");
        Write(File("Update/ver.dat"), "1.0.0\r\n");
    }
    QString File(const QString& name) const { return folder + "/" + name; }
};

struct Outcome {
    int exitCode = -1;
    QProcess::ExitStatus status = QProcess::CrashExit;
    QByteArray output; // standard output and error, as they reached the terminal or pipe
};

// Runs the installed copy in the terminal front end, its standard input closed, or on a
// pseudo-terminal of its own when `answerAtQuestion` is given: those bytes are typed once the
// restart question shows. This process's event loop keeps running for the server.
Outcome RunInTerminalFrontEnd(const Installed& app, const QString& serverUrl,
                              std::optional<QByteArray> answerAtQuestion) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.insert("VEXBRINDLE_SERVER_URL", serverUrl);
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(app.folder);

    int master = -1;
    int slave = -1;
    std::unique_ptr<QSocketNotifier> typed;
    bool answered = false;
    Outcome outcome;
    if (answerAtQuestion) {
        if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return outcome;
        // The child leads a session whose controlling terminal is the pty, so the terminal's
        // Ctrl+C reaches it as it would in a shell.
        process.setChildProcessModifier([slave] {
            ::setsid();
            ::ioctl(slave, TIOCSCTTY, 0);
            ::dup2(slave, STDIN_FILENO);
            ::dup2(slave, STDOUT_FILENO);
            ::dup2(slave, STDERR_FILENO);
        });
        typed = std::make_unique<QSocketNotifier>(master, QSocketNotifier::Read);
        QObject::connect(typed.get(), &QSocketNotifier::activated, [&] {
            char buffer[4096];
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n <= 0) {
                typed->setEnabled(false);
                return;
            }
            outcome.output.append(buffer, n);
            if (!answered && outcome.output.contains("[y/N] ")) {
                answered = true;
                [[maybe_unused]] const ssize_t w =
                    ::write(master, answerAtQuestion->constData(), answerAtQuestion->size());
            }
        });
    } else {
        process.setStandardInputFile(QProcess::nullDevice());
        process.setProcessChannelMode(QProcess::MergedChannels);
    }

    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(120'000, &loop, &QEventLoop::quit); // a hang fails, never blocks
    process.start(app.File("vexbrindle"), {"--console"});
    if (slave >= 0) ::close(slave);
    if (process.waitForStarted() && process.state() != QProcess::NotRunning) loop.exec();
    if (process.state() != QProcess::NotRunning) process.kill();
    process.waitForFinished();
    outcome.exitCode = process.exitCode();
    outcome.status = process.exitStatus();
    if (master >= 0) {
        typed.reset();
        ::close(master);
    } else {
        outcome.output = process.readAll();
    }
    return outcome;
}

} // namespace

TEST(HostileConsoleRun, EndsCleanlyWithNothingWrittenOutsideOrHalfWritten) {
    const mode_t executableMode = 0755 & ~CurrentUmask();
    const CannedReply exe{.body = kNewExecutable};
    // A restart target that leaves a mark when it is started.
    const auto plantRestartTarget = [](const Installed& app, const Outside& outside) {
        Write(app.File("DrixaBilling2.exe"),
              "#!/bin/sh\necho started > '" + outside.File("started").toUtf8() + "'\n", 0755);
    };

    struct Case {
        const char* name; // the fault the row catches
        CannedReply page;
        std::function<void(const Installed&, const Outside&)> prepare;
        bool onSmallDisk;
        std::optional<QByteArray> answerAtQuestion; // run on a terminal, type this
        int exitCode;
        QByteArray said; // a part of the output
        std::function<void(const Installed&, const Outside&)> check;
    };
    const Case cases[] = {
        {"link at the executable written through",
         {.body = "2.0\r\n"},
         [](const Installed& app, const Outside& outside) {
             Write(outside.File("victim"), "outside", 0666);
             QFile::link(outside.File("victim"), app.File("DrixaBilling2.exe"));
         },
         false,
         std::nullopt,
         0,
         "Completed Downloading Updated Version 2.0\n",
         [&](const Installed& app, const Outside& outside) {
             EXPECT_EQ(ReadAll(outside.File("victim")), "outside");
             EXPECT_EQ(RegularFileMode(outside.File("victim")), 0666);
             EXPECT_EQ(RegularFileMode(app.File("DrixaBilling2.exe")), executableMode);
             EXPECT_TRUE(ReadAll(app.File("DrixaBilling2.exe")) == kNewExecutable);
         }},
        {"link at the update page written through",
         {.body = "1.0.0\r\n"},
         [](const Installed& app, const Outside& outside) {
             Write(outside.File("page.html"), "outside");
             QFile::link(outside.File("page.html"), app.File("Update/update.html"));
         },
         false,
         std::nullopt,
         0,
         "There are no updates available at this time\n",
         [](const Installed& app, const Outside& outside) {
             EXPECT_EQ(ReadAll(outside.File("page.html")), "outside");
             EXPECT_TRUE(RegularFileMode(app.File("Update/update.html")).has_value());
             EXPECT_EQ(ReadAll(app.File("Update/update.html")), "1.0.0\r\n");
         }},
        {"dangling link creates its target outside",
         {.body = "2.0\r\n"},
         [](const Installed& app, const Outside& outside) {
             QFile::link(outside.File("absent"), app.File("DrixaBilling2.exe"));
         },
         false,
         std::nullopt,
         0,
         "Completed Downloading Updated Version 2.0\n",
         [&](const Installed& app, const Outside&) {
             EXPECT_EQ(RegularFileMode(app.File("DrixaBilling2.exe")), executableMode);
         }},
        {"escape codes in the version reach the terminal",
         {.body = "2.0\x1B]0;owned\x07\x1B[2J\r\n"},
         {},
         false,
         std::nullopt,
         0,
         "Completed Downloading Updated Version 2.0\\x1B]0;owned\\x07\\x1B[2J\n",
         {}},
        {"escape codes in the reason phrase reach the terminal",
         {.status = 404, .reason = "Not\x1B[2JFound\x1B]0;owned\x07", .body = "x"},
         {},
         false,
         std::nullopt,
         1,
         "HTTP 404 Not\\x1B[2JFound\\x1B]0;owned\\x07\n",
         {}},
        {"byte-order mark makes an equal page newer",
         {.body = QByteArray("\xEF\xBB\xBF") + "1.0.0\r\n"},
         {},
         false,
         std::nullopt,
         0,
         "There are no updates available at this time\n",
         [](const Installed& app, const Outside&) {
             EXPECT_FALSE(QFile::exists(app.File("DrixaBilling2.exe")));
         }},
        {"full disk reported without the file or the reason",
         {.body = "2.0\r\n"},
         {},
         true,
         std::nullopt,
         1,
         "/DrixaBilling2.exe: No space left on device\n",
         [](const Installed& app, const Outside&) {
             EXPECT_EQ(Entries(app.folder), (QStringList{"Update", "vexbrindle"}));
         }},
        {"Ctrl+C at the restart question taken as No",
         {.body = "1.0.0\r\n"},
         plantRestartTarget,
         false,
         QByteArray("\x03"),
         130,
         "Would you like to restart the application now? [y/N] ",
         [](const Installed&, const Outside& outside) {
             EXPECT_FALSE(QFile::exists(outside.File("started")));
         }},
        {"unclosed quote pulls the page into the version",
         {.body = "\"2.0\r\n<html>\r\n<body>\r\n"},
         {},
         false,
         std::nullopt,
         0,
         "Completed Downloading Updated Version 2.0\n",
         {}},
    };
    QStringList notRun; // rows this machine cannot run
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FaultServer server;
        server.Route("/vexbrindle/update.html", c.page);
        server.Route("/vexbrindle/DrixaBilling2.exe", exe);
        Installed app(c.onSmallDisk);
        if (app.disk && !app.disk->Mounted()) {
            notRun << QStringLiteral("%1 (%2)").arg(QLatin1String(c.name), app.disk->SkipReason());
            continue;
        }
        Outside outside;
        if (c.prepare) c.prepare(app, outside);
        const QStringList outsideBefore = Entries(outside.dir.path());

        const Outcome r = RunInTerminalFrontEnd(app, server.BaseUrl(), c.answerAtQuestion);

        EXPECT_EQ(r.status, QProcess::NormalExit);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.output.toStdString();
        EXPECT_TRUE(r.output.contains(c.said)) << r.output.toStdString();
        if (!c.answerAtQuestion) {
            EXPECT_FALSE(r.output.contains('\x1B')) << r.output.toStdString();
        }
        EXPECT_EQ(Entries(outside.dir.path()), outsideBefore) << "nothing new outside";
        if (c.check) c.check(app, outside);
        // No temporary file is left behind in either folder the updater writes.
        for (const QString& name : Entries(app.folder) + Entries(app.File("Update")))
            EXPECT_FALSE(name.endsWith(".part")) << name.toStdString();
    }
    if (!notRun.isEmpty()) GTEST_SKIP() << "not run: " << notRun.join("; ").toStdString();
}
