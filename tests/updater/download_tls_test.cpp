// The download routine over https: what the user gets from a trusted server, from one whose
// certificate nobody vouches for, and from one that redirects down to http.
#include "tests/support/Files.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/TestCertificates.h"
#include "tests/support/TestServers.h"
#include "tests/updater/RecordingWindow.h"

#include "updater/modUpdate.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>
#include <optional>

using vex::inet::Inet;
using vex::testing::Entries;
using vex::testing::FaultServer;
using vex::testing::NginxServer;
using vex::testing::ReadAll;
using vex::testing::TestCertificates;
using vex::testing::TrustedCa;
using vex::updater::DownloadFile;

namespace {

class DownloadTls : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        certificates_ = std::make_unique<TestCertificates>();
        downstairs_ = std::make_unique<FaultServer>();
        downstairs_->Route("/vexbrindle/DrixaBilling2.exe", {.body = "not from the vendor"});
        if (!certificates_->Made()) return;
        nginx_ = std::make_unique<NginxServer>(NginxServer::Options{
            .certificate = certificates_->ServerCertificate(),
            .key = certificates_->ServerKey(),
            .serverConfig = "location = /moved/DrixaBilling2.exe { return 302 " +
                            downstairs_->Url("/vexbrindle/DrixaBilling2.exe").toUtf8() + "; }\n"});
        if (nginx_->Started()) nginx_->Put("vexbrindle/DrixaBilling2.exe", Executable());
    }
    static void TearDownTestSuite() {
        nginx_.reset();
        downstairs_.reset();
        certificates_.reset();
    }
    void SetUp() override {
        ASSERT_TRUE(certificates_->Made()) << certificates_->MakeError().toStdString();
        ASSERT_TRUE(nginx_->Started()) << nginx_->StartError().toStdString();
    }

    static QByteArray Executable() { return vex::testing::PatternBytes(1024 * 1024 + 9, 11); }

    static std::unique_ptr<TestCertificates> certificates_;
    static std::unique_ptr<FaultServer> downstairs_;
    static std::unique_ptr<NginxServer> nginx_;
};

std::unique_ptr<TestCertificates> DownloadTls::certificates_;
std::unique_ptr<FaultServer> DownloadTls::downstairs_;
std::unique_ptr<NginxServer> DownloadTls::nginx_;

} // namespace

TEST_F(DownloadTls, ExecutableFromATrustedServerArrivesWhole) {
    TrustedCa trust(certificates_->CaCertificate());
    QTemporaryDir folder;
    RecordingWindow window;
    Inet inet;
    ASSERT_TRUE(DownloadFile(inet, nginx_->BaseUrl() + "/vexbrindle/DrixaBilling2.exe",
                             folder.path(), window, {.bExecutable = true}))
        << window.events.join("; ").toStdString();
    const QString path = folder.filePath("DrixaBilling2.exe");
    EXPECT_TRUE(ReadAll(path) == Executable());
    EXPECT_TRUE(QFile::permissions(path) & QFileDevice::ExeOwner);
    EXPECT_TRUE(window.events.isEmpty()) << window.events.join("; ").toStdString();
}

TEST_F(DownloadTls, RefusalsShowOneMessageAndKeepTheOlderFile) {
    struct Case {
        const char* name; // the fault the row catches
        bool trusted;
        const char* path;
        QString message; // a part of the message
    };
    const Case cases[] = {
        {"certificate of an unknown issuer accepted", false, "/vexbrindle/DrixaBilling2.exe",
         "The certificate of 127.0.0.1 is not trusted"},
        {"redirect from https to http followed", true, "/moved/DrixaBilling2.exe",
         "a redirect from https to http is refused"},
    };
    for (const Case& c : cases) {
        std::optional<TrustedCa> trust;
        if (c.trusted) trust.emplace(certificates_->CaCertificate());
        QTemporaryDir folder;
        QFile old(folder.filePath("DrixaBilling2.exe"));
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old executable");
        old.close();
        RecordingWindow window;
        Inet inet;
        EXPECT_FALSE(DownloadFile(inet, nginx_->BaseUrl() + c.path, folder.path(), window,
                                  {.bExecutable = true}))
            << c.name;
        ASSERT_EQ(window.events.size(), 1)
            << c.name << ": " << window.events.join("; ").toStdString();
        EXPECT_TRUE(window.events[0].contains(c.message))
            << c.name << ": " << window.events[0].toStdString();
        EXPECT_EQ(ReadAll(old.fileName()), "old executable") << c.name;
        EXPECT_EQ(Entries(folder.path()), QStringList{"DrixaBilling2.exe"}) << c.name;
    }
    EXPECT_EQ(downstairs_->RequestCount("/vexbrindle/DrixaBilling2.exe"), 0)
        << "the http server was asked";
}
