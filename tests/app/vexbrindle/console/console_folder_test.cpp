// The terminal front end and what it finds in its folder: a FIFO at the version file, an Update
// folder that is a symbolic link, the temporary files of runs that were killed, files that
// only look like them, and the temporary file of a run that is still going. Each run is the real
// executable, installed in a folder of its own, against a server on 127.0.0.1.
#include "tests/support/Files.h"
#include "tests/support/ProgramFolder.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/TestServers.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <memory>
#include <sys/stat.h>

using vex::testing::CannedReply;
using vex::testing::Entries;
using vex::testing::FaultServer;
using vex::testing::ProgramFolder;

namespace {

constexpr int kDeadlineMs = 30000;
const QByteArray kPage = "/vexbrindle/update.html";
const QByteArray kExe = "/vexbrindle/DrixaBilling2.exe";

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

// The temporary files that downloads are writing, or that killed runs left, in `folder`.
QStringList PartFiles(const QString& folder) {
    const QRegularExpression temporary(
        R"(^\.(DrixaBilling2\.exe|update\.html)\.[0-9a-f]{8}\.part$)");
    QStringList found;
    for (const QFileInfo& entry : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden))
        if (!entry.isSymLink() && temporary.match(entry.fileName()).hasMatch())
            found << entry.fileName();
    return found;
}

void Install(const ProgramFolder& folder) {
    ASSERT_TRUE(QFile::copy(VEXBRINDLE_EXECUTABLE, folder.filePath("vexbrindle")));
}

// Starts a run whose fetch of `held` stalls half-way, and kills it once its temporary file is
// there, as a user or the system might: a killed run cleans nothing up.
void KillWhileFetching(const ProgramFolder& folder, const QByteArray& held) {
    FaultServer server;
    const CannedReply stalled{.body = vex::testing::PatternBytes(400'000),
                              .sendBytes = 100'000,
                              .after = CannedReply::After::KeepOpen};
    server.Route(kPage, held == kPage ? stalled : CannedReply{.body = "2.0\r\n"});
    server.Route(kExe, stalled);
    const std::unique_ptr<QProcess> run = Start(folder, server);
    const QString where = held == kPage ? folder.filePath("Update") : folder.path();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !PartFiles(where).isEmpty(); }, kDeadlineMs));
    run->kill();
    run->waitForFinished();
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

TEST(ConsoleFolder, NextRunRemovesWhatKilledRunsLeftAndNothingElse) {
    const ProgramFolder folder;
    Install(folder);
    const QString update = folder.filePath("Update");

    // Files that only look like leftovers, and a link named exactly like one.
    QTemporaryDir outside;
    const QString victim = outside.filePath("victim");
    {
        QFile file(victim);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("outside");
    }
    const QStringList lookalikes{".DrixaBilling2.exe.0123ABCD.part", "DrixaBilling2.exe.part",
                                 ".DrixaBilling.exe.0123abcd.part"};
    for (const QString& name : lookalikes)
        folder.Write(name, "not ours");
    folder.Write("Update/.update.html.0123abcd.part.old", "not ours");
    ASSERT_TRUE(QFile::link(victim, folder.filePath(".DrixaBilling2.exe.89abcdef.part")));
    // What runs killed while discarding partial downloads left, under the names the data was
    // renamed to on its way out.
    folder.Write("..DrixaBilling2.exe.partial.0123abcd.part", "left by a killed run");
    folder.Write("..DrixaBilling2.exe.zst.partial.89abcdef.part", "left by a killed run");
    // ... and while writing what identifies partial data.
    folder.Write("..DrixaBilling2.exe.partial.id.0123abcd.part", "left by a killed run");

    // A run killed during the download leaves its file; the next run, killed during the fetch
    // of the page, removes it before leaving its own; the run after that removes that one.
    KillWhileFetching(folder, kExe);
    ASSERT_EQ(PartFiles(folder.path()).size(), 1);
    KillWhileFetching(folder, kPage);
    EXPECT_TRUE(PartFiles(folder.path()).isEmpty());
    ASSERT_EQ(PartFiles(update).size(), 1);
    RunWithoutUpdate(folder);

    QStringList expected =
        lookalikes + QStringList{".DrixaBilling2.exe.89abcdef.part", "Update", "vexbrindle"};
    expected.sort();
    EXPECT_EQ(Entries(folder.path()), expected);
    EXPECT_EQ(Entries(update),
              (QStringList{".update.html.0123abcd.part.old", "update.html", "ver.dat"}));
    QFile target(victim);
    ASSERT_TRUE(target.open(QIODevice::ReadOnly));
    EXPECT_EQ(target.readAll(), "outside");
}

TEST(ConsoleFolder, RunBesideADownloadUnderWayLeavesItsFile) {
    const ProgramFolder folder;
    Install(folder);
    const QByteArray newExecutable = vex::testing::PatternBytes(400'000, 3);

    // One run downloading, held half-way.
    FaultServer held;
    held.Route(kPage, {.body = "2.0\r\n"});
    held.Route(kExe,
               {.body = newExecutable, .sendBytes = 100'000, .after = CannedReply::After::Hold});
    const std::unique_ptr<QProcess> downloading = Start(folder, held);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !PartFiles(folder.path()).isEmpty(); }, kDeadlineMs));
    const QStringList writing = PartFiles(folder.path());

    // A second run meanwhile.
    RunWithoutUpdate(folder);

    EXPECT_EQ(PartFiles(folder.path()), writing);
    held.Release();
    EXPECT_TRUE(EndsByItself(*downloading));
    EXPECT_EQ(downloading->exitCode(), 0) << downloading->readAll().data();
    EXPECT_EQ(folder.Read("DrixaBilling2.exe"), newExecutable);
    EXPECT_TRUE(PartFiles(folder.path()).isEmpty());
}

} // namespace
