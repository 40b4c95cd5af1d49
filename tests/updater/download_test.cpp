#include "tests/support/Files.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/TestServers.h"
#include "tests/updater/RecordingWindow.h"

#include "updater/modUpdate.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

using vex::inet::Inet;
using vex::testing::CannedReply;
using vex::testing::Entries;
using vex::testing::FaultServer;
using vex::testing::NginxServer;
using vex::testing::ReadAll;
using vex::testing::WriteAll;
using vex::updater::DownloadFile;
using vex::updater::DownloadOptions;

namespace {

class DownloadFileTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        nginx_ = std::make_unique<NginxServer>();
        if (nginx_->Started()) {
            nginx_->Put("vexbrindle/DrixaBilling2.exe", Executable());
            nginx_->Put("vexbrindle/update.html", "1.2.0\r\n");
        }
    }
    static void TearDownTestSuite() { nginx_.reset(); }
    void SetUp() override { ASSERT_TRUE(nginx_->Started()) << nginx_->StartError().toStdString(); }

    static QByteArray Executable() { return vex::testing::PatternBytes(2 * 1024 * 1024 + 3, 7); }
    QString NginxUrl(const QString& path) const { return nginx_->BaseUrl() + path; }

    static std::unique_ptr<NginxServer> nginx_;
    QTemporaryDir folder_;
    RecordingWindow window_;
    Inet inet_;
};

std::unique_ptr<NginxServer> DownloadFileTest::nginx_;

} // namespace

TEST_F(DownloadFileTest, ExecutableArrivesByteForByteWithOwnerExecutePermission) {
    const QString url = NginxUrl("/vexbrindle/DrixaBilling2.exe");
    ASSERT_TRUE(DownloadFile(inet_, url, folder_.path(), window_, {.bExecutable = true}));
    const QString path = folder_.filePath("DrixaBilling2.exe");
    EXPECT_TRUE(ReadAll(path) == Executable());
    EXPECT_TRUE(QFile::permissions(path) & QFileDevice::ExeOwner);
    EXPECT_EQ(Entries(folder_.path()), QStringList{"DrixaBilling2.exe"});
    EXPECT_TRUE(window_.events.isEmpty()) << window_.events.join("; ").toStdString();
}

TEST_F(DownloadFileTest, FolderWithOrWithoutTrailingSeparatorWritesInsideIt) {
    for (const QString& suffix : {QString(), QStringLiteral("/"), QStringLiteral("//")}) {
        QTemporaryDir folder;
        ASSERT_TRUE(DownloadFile(inet_, NginxUrl("/vexbrindle/update.html"), folder.path() + suffix,
                                 window_));
        EXPECT_EQ(ReadAll(folder.filePath("update.html")), "1.2.0\r\n") << suffix.toStdString();
        EXPECT_EQ(Entries(folder.path()), QStringList{"update.html"}) << suffix.toStdString();
    }
}

TEST_F(DownloadFileTest, ExistingLongerFileIsReplacedWhole) {
    const QString path = folder_.filePath("update.html");
    ASSERT_TRUE(WriteAll(path, QByteArray(10'000, 'x')));
    ASSERT_TRUE(DownloadFile(inet_, NginxUrl("/vexbrindle/update.html"), folder_.path(), window_));
    EXPECT_EQ(ReadAll(path), "1.2.0\r\n");
}

TEST_F(DownloadFileTest, BusyComponentReturnsFalseWithoutMessage) {
    FaultServer server;
    server.Route("/slow",
                 {.body = "0123456789", .sendBytes = 5, .after = CannedReply::After::Hold});
    std::optional<bool> nested;
    QObject::connect(&inet_, &Inet::BytesWritten, [&] {
        if (nested) return;
        nested = DownloadFile(inet_, NginxUrl("/vexbrindle/update.html"), folder_.path(), window_);
        server.Release();
    });
    QTemporaryDir other;
    ASSERT_TRUE(DownloadFile(inet_, server.Url("/slow"), other.path(), window_));
    ASSERT_TRUE(nested.has_value());
    EXPECT_FALSE(*nested);
    EXPECT_TRUE(window_.events.isEmpty()) << window_.events.join("; ").toStdString();
    EXPECT_TRUE(Entries(folder_.path()).isEmpty());
}

TEST_F(DownloadFileTest, AbandonedFetchLeavesNoFileAndShowsNothing) {
    FaultServer server;
    server.Route("/DrixaBilling2.exe",
                 {.body = Executable(), .sendBytes = 100'000, .after = CannedReply::After::Hold});
    ASSERT_TRUE(WriteAll(folder_.filePath("DrixaBilling2.exe"), "old"));
    QObject::connect(&inet_, &Inet::BytesWritten, [&] { inet_.Abandon(); });
    EXPECT_FALSE(DownloadFile(inet_, server.Url("/DrixaBilling2.exe"), folder_.path(), window_));
    EXPECT_TRUE(window_.events.isEmpty()) << window_.events.join("; ").toStdString();
    EXPECT_EQ(Entries(folder_.path()), QStringList{"DrixaBilling2.exe"});
    EXPECT_EQ(ReadAll(folder_.filePath("DrixaBilling2.exe")), "old");
}

TEST_F(DownloadFileTest, EveryFailureShowsOneMessageAndLeavesNoFile) {
    struct Case {
        const char* name; // the fault the row catches
        CannedReply reply;
        QString urlPath;   // on the fault server; a full URL when it starts with "http"
        QString subfolder; // target folder below the test's folder ("" = the folder itself)
        qint64 maxBytes;
        QString message; // a part of the message
    };
    const QByteArray body = vex::testing::PatternBytes(50'000, 3);
    const QString refused = QStringLiteral("http://127.0.0.1:%1/vexbrindle/update.html")
                                .arg(vex::testing::ClosedPort());
    const Case cases[] = {
        {"404 page written as the update",
         {.status = 404, .reason = "Not Found", .body = "nope"},
         "/vexbrindle/update.html",
         "",
         -1,
         "HTTP 404 Not Found"},
        {"500 page written as the update",
         {.status = 500, .reason = "Internal Server Error", .body = "oops"},
         "/vexbrindle/update.html",
         "",
         -1,
         "HTTP 500 Internal Server Error"},
        {"refused connection reported as success", {}, refused, "", -1, "refused"},
        {"short body written as complete",
         {.body = body, .declaredLength = 90'000},
         "/vexbrindle/DrixaBilling2.exe",
         "",
         -1,
         "closed after 50000 of 90000 bytes"},
        {"stalled transfer hangs",
         {.body = body, .sendBytes = 1000, .after = CannedReply::After::KeepOpen},
         "/vexbrindle/DrixaBilling2.exe",
         "",
         -1,
         "No data arrived"},
        {"update page over the cap fills the disk",
         {.body = body, .chunked = true},
         "/vexbrindle/update.html",
         "",
         40'000,
         "larger than"},
        {"URL ending in / opens the folder as a file",
         {.body = body},
         "/vexbrindle/",
         "",
         -1,
         "names no file"},
        {"missing folder not reported",
         {.body = body},
         "/vexbrindle/update.html",
         "missing",
         -1,
         "Cannot write"},
    };
    for (const Case& c : cases) {
        FaultServer server;
        server.Route(c.urlPath.toLatin1(), c.reply);
        QTemporaryDir folder;
        RecordingWindow window;
        Inet inet;
        inet.SetTimeouts({2'000, 2'000});
        const QString url = c.urlPath.startsWith("http") ? c.urlPath : server.Url(c.urlPath);
        const QString target = c.subfolder.isEmpty() ? folder.path() : folder.filePath(c.subfolder);
        EXPECT_FALSE(DownloadFile(inet, url, target, window, {.lMaxBytes = c.maxBytes})) << c.name;
        ASSERT_EQ(window.events.size(), 1)
            << c.name << ": " << window.events.join("; ").toStdString();
        EXPECT_TRUE(window.events[0].startsWith("MsgBox(")) << c.name;
        EXPECT_TRUE(window.events[0].endsWith("|0|Vexbrindle)")) << c.name;
        EXPECT_TRUE(window.events[0].contains(c.message, Qt::CaseInsensitive))
            << c.name << ": " << window.events[0].toStdString();
        EXPECT_TRUE(Entries(folder.path()).isEmpty())
            << c.name << ": " << Entries(folder.path()).join(", ").toStdString();
    }
}

TEST_F(DownloadFileTest, FailedFetchKeepsAnOlderFileIntact) {
    FaultServer server;
    server.Route("/DrixaBilling2.exe", {.body = Executable(), .declaredLength = 5'000'000});
    ASSERT_TRUE(WriteAll(folder_.filePath("DrixaBilling2.exe"), "old executable"));
    EXPECT_FALSE(DownloadFile(inet_, server.Url("/DrixaBilling2.exe"), folder_.path(), window_));
    EXPECT_EQ(ReadAll(folder_.filePath("DrixaBilling2.exe")), "old executable");
    EXPECT_EQ(Entries(folder_.path()), QStringList{"DrixaBilling2.exe"});
}

TEST_F(DownloadFileTest, ReadOnlyFolderIsAReportedFailure) {
    QString folder = folder_.filePath("locked");
    QDir().mkdir(folder);
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    bool bCanWriteAnyway = false;
    {
        QFile probe(folder + "/probe");
        if (probe.open(QIODevice::WriteOnly)) {
            probe.remove();
            bCanWriteAnyway = true;
        }
    }
    // Root writes into read-only folders; a process folder refuses new files even to root.
    if (bCanWriteAnyway) folder = QStringLiteral("/proc/self");

    EXPECT_FALSE(DownloadFile(inet_, NginxUrl("/vexbrindle/update.html"), folder, window_));
    ASSERT_EQ(window_.events.size(), 1);
    EXPECT_TRUE(window_.events[0].contains("Cannot write"));
    if (!bCanWriteAnyway) {
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ExeOwner);
        EXPECT_TRUE(Entries(folder).isEmpty());
    }
}

TEST(FileNameOf, TakesTheTextAfterTheLastSlash) {
    struct Case {
        const char* url;
        const char* name;
    };
    const Case cases[] = {
        {"http://h/vexbrindle/update.html", "update.html"},
        {"http://h/vexbrindle/DrixaBilling2.exe", "DrixaBilling2.exe"},
        {"http://h/vexbrindle/", ""},
        {"no slash at all", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(vex::updater::FileNameOf(c.url), c.name) << c.url;
}
