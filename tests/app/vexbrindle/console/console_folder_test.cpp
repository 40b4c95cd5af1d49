// The terminal front end and what it finds in its folder: a FIFO at the version file and an
// Update folder that is a symbolic link. Each run is the real
// executable, installed in a folder of its own, against a server on 127.0.0.1.
#include "tests/support/ProgramFolder.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/TestServers.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>
#include <sys/stat.h>

using vex::testing::FaultServer;
using vex::testing::ProgramFolder;

namespace {

const QByteArray kPage = "/vexbrindle/update.html";

// The installed copy of the executable, started in the terminal front end with its standard
// input closed, against `server`.
std::unique_ptr<QProcess> Start(const ProgramFolder& folder, const FaultServer& server) {
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.insert("VEXBRINDLE_SERVER_URL", server.BaseUrl());
    process->setProcessEnvironment(env);
    process->setWorkingDirectory(folder.path());
    process->setStandardInputFile(QProcess::nullDevice());
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->start(folder.filePath("vexbrindle"), {"--console"});
    return process;
}

// Waits for the process to end by itself, keeping this process's event loop (and the servers
// in it) running; kills it when it does not.
bool EndsByItself(QProcess& process) {
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(120'000, &loop, &QEventLoop::quit); // a hang fails, never blocks
    if (process.state() != QProcess::NotRunning) loop.exec();
    const bool ended = process.state() == QProcess::NotRunning;
    if (!ended) process.kill();
    process.waitForFinished();
    return ended;
}

// A run that ends by itself with exit status 0: the update page says there is nothing newer.
QByteArray RunWithoutUpdate(const ProgramFolder& folder) {
    FaultServer server;
    server.Route(kPage, {.body = "1.0.0\r\n"});
    const std::unique_ptr<QProcess> run = Start(folder, server);
    EXPECT_TRUE(EndsByItself(*run));
    EXPECT_EQ(run->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(run->exitCode(), 0);
    return run->readAll();
}

void Install(const ProgramFolder& folder) {
    ASSERT_TRUE(QFile::copy(VEXBRINDLE_EXECUTABLE, folder.filePath("vexbrindle")));
}

TEST(ConsoleFolder, FifoAtTheVersionFileIsNoVersionFile) {
    const ProgramFolder folder(std::nullopt);
    Install(folder);
    ASSERT_EQ(::mkfifo(QFile::encodeName(folder.filePath("Update/ver.dat")).constData(), 0600), 0);

    // The run falls back to its own version, 1.0.0, which the page matches.
    const QByteArray out = RunWithoutUpdate(folder);
    EXPECT_TRUE(out.contains("There are no updates available at this time\n")) << out.data();
}

TEST(ConsoleFolder, SymbolicUpdateFolderIsFollowedButNoLinkInsideIt) {
    const ProgramFolder folder(std::nullopt);
    Install(folder);
    // The installation keeps its Update folder elsewhere; someone planted a link in it.
    QTemporaryDir elsewhere;
    const QString store = elsewhere.filePath("store");
    ASSERT_TRUE(QDir().mkdir(store));
    ASSERT_TRUE(QDir(folder.filePath("Update")).removeRecursively());
    ASSERT_TRUE(QFile::link(store, folder.filePath("Update")));
    folder.Write("Update/ver.dat", "1.0.0\r\n");
    const QString victim = elsewhere.filePath("victim");
    {
        QFile file(victim);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("outside");
    }
    ASSERT_TRUE(QFile::link(victim, store + "/update.html"));

    const QByteArray out = RunWithoutUpdate(folder);

    EXPECT_TRUE(out.contains("There are no updates available at this time\n")) << out.data();
    EXPECT_TRUE(QFileInfo(folder.filePath("Update")).isSymLink());
    const QFileInfo page(store + "/update.html");
    EXPECT_TRUE(page.isFile() && !page.isSymLink());
    EXPECT_EQ(folder.Read("Update/update.html"), "1.0.0\r\n");
    QFile target(victim);
    ASSERT_TRUE(target.open(QIODevice::ReadOnly));
    EXPECT_EQ(target.readAll(), "outside");
}

} // namespace
