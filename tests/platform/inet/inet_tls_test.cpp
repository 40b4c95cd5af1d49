// The transfer component over https against nginx with a certificate made by the test: a
// trusted server works, an untrusted one and a redirect down to http are refused.
#include "tests/support/QtPrinters.h"
#include "tests/support/TestCertificates.h"
#include "tests/support/TestServers.h"

#include "platform/inet/Inet.h"

#include <QBuffer>
#include <QSslSocket>
#include <gtest/gtest.h>

#include <memory>
#include <optional>

using vex::inet::Inet;
using vex::inet::InetError;
using vex::testing::FaultServer;
using vex::testing::NginxServer;
using vex::testing::TestCertificates;
using vex::testing::TrustedCa;

namespace {

struct Outcome {
    QByteArray body;
    std::optional<InetError> error;
};

Outcome Fetch(const QString& url) {
    Inet inet;
    Outcome outcome;
    QBuffer sink(&outcome.body);
    sink.open(QIODevice::WriteOnly);
    try {
        inet.OpenURL(url, vex::inet::icByteArray, sink);
    } catch (const InetError& error) {
        outcome.error = error;
    }
    return outcome;
}

// One nginx over https for the suite; /moved redirects to the plain http server `downstairs_`,
// which counts whether the client went there.
class InetTls : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        certificates_ = std::make_unique<TestCertificates>();
        downstairs_ = std::make_unique<FaultServer>();
        downstairs_->Route("/update.html", {.body = "9.9.9\r\n"});
        if (!certificates_->Made()) return;
        nginx_ = std::make_unique<NginxServer>(NginxServer::Options{
            .certificate = certificates_->ServerCertificate(),
            .key = certificates_->ServerKey(),
            .serverConfig = "location = /moved { return 302 " +
                            downstairs_->Url("/update.html").toUtf8() +
                            "; }\n"
                            "location = /hop { return 301 /vexbrindle/update.html; }\n"});
        if (nginx_->Started()) {
            nginx_->Put("vexbrindle/DrixaBilling2.exe", Executable());
            nginx_->Put("vexbrindle/update.html", "1.2.0\r\n");
        }
    }
    static void TearDownTestSuite() {
        nginx_.reset();
        downstairs_.reset();
        certificates_.reset();
    }
    void SetUp() override {
        ASSERT_TRUE(QSslSocket::supportsSsl())
            << "no TLS backend for Qt: "
            << QSslSocket::availableBackends().join(", ").toStdString();
        ASSERT_TRUE(certificates_->Made()) << certificates_->MakeError().toStdString();
        ASSERT_TRUE(nginx_->Started()) << nginx_->StartError().toStdString();
    }

    static QByteArray Executable() { return vex::testing::PatternBytes(2 * 1024 * 1024 + 5, 3); }
    static QString Url(const char* path) { return nginx_->BaseUrl() + path; }

    static std::unique_ptr<TestCertificates> certificates_;
    static std::unique_ptr<FaultServer> downstairs_;
    static std::unique_ptr<NginxServer> nginx_;
};

std::unique_ptr<TestCertificates> InetTls::certificates_;
std::unique_ptr<FaultServer> InetTls::downstairs_;
std::unique_ptr<NginxServer> InetTls::nginx_;

} // namespace

TEST_F(InetTls, TrustedServerDeliversTheBodyByteForByte) {
    TrustedCa trust(certificates_->CaCertificate());
    ASSERT_TRUE(Url("").startsWith("https://"));
    const Outcome exe = Fetch(Url("/vexbrindle/DrixaBilling2.exe"));
    ASSERT_FALSE(exe.error) << exe.error->Description().toStdString();
    EXPECT_TRUE(exe.body == Executable());

    const Outcome hop = Fetch(Url("/hop"));
    ASSERT_FALSE(hop.error) << "a redirect that stays on https is followed: "
                            << hop.error->Description().toStdString();
    EXPECT_EQ(hop.body, "1.2.0\r\n");
}

TEST_F(InetTls, UntrustedCertificateIsRefusedWithAClearMessage) {
    const Outcome outcome = Fetch(Url("/vexbrindle/update.html"));
    ASSERT_TRUE(outcome.error) << "a server nobody vouches for was trusted";
    EXPECT_EQ(outcome.error->kind(), InetError::Kind::Transfer);
    EXPECT_TRUE(outcome.body.isEmpty()) << "bytes of an unproven server reached the sink";
    const QString text = outcome.error->Description();
    EXPECT_TRUE(text.contains("127.0.0.1")) << "which server: " << text.toStdString();
    EXPECT_TRUE(text.contains("certificate", Qt::CaseInsensitive)) << "why: " << text.toStdString();
}

TEST_F(InetTls, RedirectFromHttpsToHttpIsRefused) {
    TrustedCa trust(certificates_->CaCertificate());
    const int before = downstairs_->RequestCount("/update.html");
    const Outcome outcome = Fetch(Url("/moved"));
    ASSERT_TRUE(outcome.error) << "followed a redirect from https down to http";
    EXPECT_TRUE(outcome.body.isEmpty());
    EXPECT_EQ(downstairs_->RequestCount("/update.html"), before) << "the http server was asked";
    const QString text = outcome.error->Description();
    EXPECT_TRUE(text.contains("http://")) << "where to: " << text.toStdString();
}
