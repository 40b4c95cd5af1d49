#include "tests/support/ConsoleRun.h"
#include "tests/support/Files.h"
#include "tests/support/Minisign.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/SignedRelease.h"
#include "tests/support/TestServers.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

#include <unistd.h>

using vex::testing::Entries;
using vex::testing::FaultServer;
using vex::testing::MinisignKeys;
using vex::testing::NginxServer;
using vex::testing::ReadAll;
using vex::testing::SignedCase;
using vex::testing::WriteAll;

namespace {

const QByteArray kOldExecutable = "#!/bin/sh\necho old\n";

// A copy of the executable beside an older DrixaBilling2.exe, with the vendor's key file when
// one is given.
struct Installation {
    QTemporaryDir folder;

    explicit Installation(const QByteArray& keyFile) {
        QFile::copy(VEXBRINDLE_EXECUTABLE, folder.filePath("vexbrindle"));
        QDir(folder.path()).mkdir("Update");
        WriteAll(folder.filePath("Update/ver.dat"), vex::testing::kSignedInstalledVersion);
        WriteAll(folder.filePath("DrixaBilling2.exe"), kOldExecutable);
        if (!keyFile.isNull()) WriteAll(folder.filePath("Update/vexbrindle.pub"), keyFile);
    }
    QByteArray Exe() const { return ReadAll(folder.filePath("DrixaBilling2.exe")); }

    vex::testing::ConsoleRun Run(const QString& serverUrl) const {
        return vex::testing::RunConsole(folder.path(), serverUrl);
    }
};

} // namespace

class ConsoleSignedTable : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(nginx_.Started()) << nginx_.StartError().toStdString();
        ASSERT_TRUE(vendor_.Error().isEmpty()) << vendor_.Error().toStdString();
        ASSERT_TRUE(other_.Error().isEmpty()) << other_.Error().toStdString();
    }

    // Runs the rows that need root, or those that do not, through the real executable.
    void RunCases(bool needingRoot) {
        const QDate today = QDateTime::currentDateTimeUtc().date();
        for (const SignedCase& c : vex::testing::SignedCases(vendor_, other_, today)) {
            if (c.needsRoot == needingRoot) RunCase(c);
        }
    }

  private:
    void RunCase(const SignedCase& c) {
        c.served.PutOn(nginx_);
        Installation app(c.keyFile);
        if (c.arrange) c.arrange(app.folder.path());
        const vex::testing::ConsoleRun r = app.Run(nginx_.BaseUrl());
        if (c.message.isEmpty()) {
            EXPECT_EQ(r.exitCode, 0) << c.name << "\n" << r.out.toStdString();
            EXPECT_TRUE(app.Exe() == *c.served.exe) << c.name;
            return;
        }
        const QString message = c.MessageFor(app.folder.path());
        EXPECT_EQ(r.exitCode, 1) << c.name << "\n" << r.out.toStdString();
        EXPECT_TRUE(r.out.split('\n').contains(message)) << c.name << "\n" << r.out.toStdString();
        EXPECT_TRUE(r.out.endsWith("The update stopped: " + message + "\n")) << c.name << "\n"
                                                                             << r.out.toStdString();
        EXPECT_EQ(app.Exe(), kOldExecutable) << c.name;
        EXPECT_EQ(Entries(app.folder.path()),
                  (QStringList{"DrixaBilling2.exe", "Update", "vexbrindle"}))
            << c.name;
    }

    NginxServer nginx_;
    MinisignKeys vendor_, other_;
};

TEST_F(ConsoleSignedTable, RefusedUpdatesPrintWhyExitOneAndKeepTheOlderExecutable) {
    RunCases(false);
}

TEST_F(ConsoleSignedTable, NoKeyIsTrustedFromFilesOrFoldersOfAnotherUser) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root can give files to another user";
    RunCases(true);
}

TEST(ConsoleSigned, MalformedKeyFileFailsClosedWithoutTraffic) {
    FaultServer server;
    server.Route("/vexbrindle/update.html", {.body = "2.0\r\n"});
    Installation app("untrusted comment: minisign public key\nRWQ=\n");
    const vex::testing::ConsoleRun r = app.Run(server.BaseUrl());
    const QString message =
        QStringLiteral("The vendor's key file %1 cannot be used: its key is not valid base64 of "
                       "42 bytes")
            .arg(app.folder.filePath("Update/vexbrindle.pub"));
    EXPECT_EQ(r.exitCode, 1) << r.out.toStdString();
    EXPECT_TRUE(r.out.endsWith("The update stopped: " + message + "\n")) << r.out.toStdString();
    EXPECT_EQ(server.RequestCount("/vexbrindle/update.html"), 0);
    EXPECT_EQ(server.RequestCount("/vexbrindle/update.html.minisig"), 0);
    EXPECT_EQ(app.Exe(), kOldExecutable);
}
