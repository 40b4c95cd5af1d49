#include "tests/support/TestCertificates.h"

#include <QFile>
#include <QProcess>
#include <QSslCertificate>
#include <QSslConfiguration>

namespace vex::testing {

TestCertificates::TestCertificates() {
    if (!dir_.isValid()) {
        error_ = QStringLiteral("cannot make a temporary folder");
        return;
    }
    QFile extensions(dir_.filePath("server.ext"));
    if (!extensions.open(QIODevice::WriteOnly) ||
        extensions.write("subjectAltName=IP:127.0.0.1,DNS:localhost\n"
                         "basicConstraints=critical,CA:FALSE\n"
                         "keyUsage=critical,digitalSignature\n"
                         "extendedKeyUsage=serverAuth\n") < 0) {
        error_ = QStringLiteral("cannot write %1").arg(extensions.fileName());
        return;
    }
    extensions.close();
    // EC keys: made in milliseconds, where RSA keys would slow every test that needs one.
    const QStringList newKey = {"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes"};
    Run(QStringList{"req", "-x509"} + newKey +
        QStringList{"-keyout", "ca.key", "-out", "ca.pem", "-days", "2", "-subj",
                    "/CN=Vexbrindle test CA", "-addext", "basicConstraints=critical,CA:TRUE",
                    "-addext", "keyUsage=critical,keyCertSign"}) &&
        Run(QStringList{"req"} + newKey +
            QStringList{"-keyout", "server.key", "-out", "server.csr", "-subj", "/CN=127.0.0.1"}) &&
        Run({"x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
             "-set_serial", "2", "-days", "2", "-extfile", "server.ext", "-out", "server.pem"});
}

bool TestCertificates::Run(const QStringList& args) {
    QProcess openssl;
    openssl.setWorkingDirectory(dir_.path());
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.start(QStringLiteral("openssl"), args);
    if (!openssl.waitForFinished(60'000) || openssl.exitStatus() != QProcess::NormalExit ||
        openssl.exitCode() != 0) {
        error_ = QStringLiteral("openssl %1 failed: %2 %3")
                     .arg(args.first(), openssl.errorString(),
                          QString::fromLocal8Bit(openssl.readAll()));
        return false;
    }
    return true;
}

TrustedCa::TrustedCa(const QString& caCertificate)
    : previous_(QSslConfiguration::defaultConfiguration()) {
    QSslConfiguration configuration = previous_;
    configuration.addCaCertificates(QSslCertificate::fromPath(caCertificate));
    QSslConfiguration::setDefaultConfiguration(configuration);
}

TrustedCa::~TrustedCa() {
    QSslConfiguration::setDefaultConfiguration(previous_);
}

} // namespace vex::testing
