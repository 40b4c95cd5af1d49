#pragma once

#include <QSslConfiguration>
#include <QString>
#include <QTemporaryDir>

namespace vex::testing {

// A certificate authority of the test's own and a server certificate it issued for 127.0.0.1
// and localhost, made with the openssl command in a temporary folder (PEM files). Nothing
// trusts the authority until a test says so.
class TestCertificates {
  public:
    TestCertificates();

    bool Made() const { return error_.isEmpty(); }
    QString MakeError() const { return error_; }

    QString CaCertificate() const { return dir_.filePath("ca.pem"); }
    QString ServerCertificate() const { return dir_.filePath("server.pem"); }
    QString ServerKey() const { return dir_.filePath("server.key"); }

  private:
    bool Run(const QStringList& args);

    QTemporaryDir dir_;
    QString error_;
};

// Trusts the authority's certificate in this process (Qt's default SSL configuration) for the
// object's lifetime; the previous configuration comes back afterwards.
class TrustedCa {
  public:
    explicit TrustedCa(const QString& caCertificate);
    ~TrustedCa();
    TrustedCa(const TrustedCa&) = delete;
    TrustedCa& operator=(const TrustedCa&) = delete;

  private:
    QSslConfiguration previous_;
};

} // namespace vex::testing
