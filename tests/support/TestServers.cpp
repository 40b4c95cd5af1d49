#include "tests/support/TestServers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTcpSocket>

#include <sys/socket.h>

namespace vex::testing {

FaultServer::FaultServer() {
    server_.listen(QHostAddress::LocalHost, 0);
    connect(&server_, &QTcpServer::newConnection, this, &FaultServer::OnConnection);
}

FaultServer::~FaultServer() {
    for (QTcpSocket* socket : sockets_) {
        socket->disconnect(this);
        socket->abort();
        delete socket;
    }
}

QString FaultServer::BaseUrl() const {
    return QStringLiteral("http://127.0.0.1:%1").arg(server_.serverPort());
}

void FaultServer::Route(const QByteArray& path, CannedReply reply) {
    routes_[path] = {reply};
}

void FaultServer::RouteSequence(const QByteArray& path, QList<CannedReply> replies) {
    routes_[path] = replies;
}

void FaultServer::Release() {
    const auto held = std::exchange(held_, {});
    for (const auto& [socket, rest] : held) {
        socket->write(rest);
        socket->disconnectFromHost();
    }
}

void FaultServer::OnConnection() {
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        socket->setParent(nullptr);
        sockets_ << socket;
        auto request = std::make_shared<QByteArray>();
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, request] {
            request->append(socket->readAll());
            if (!request->contains("\r\n\r\n")) return;
            const QList<QByteArray> words = request->left(request->indexOf("\r\n")).split(' ');
            heads_[words.value(1)] = request->left(request->indexOf("\r\n\r\n") + 2);
            request->clear();
            Answer(socket, words.value(1));
        });
    }
}

void FaultServer::Answer(QTcpSocket* socket, const QByteArray& path) {
    const int n = requests_[path]++;
    emit Requested(path);
    const QList<CannedReply> replies =
        routes_.value(path, {CannedReply{404, "Not Found", "no such page"}});
    CannedReply reply = replies.value(n, replies.last());
    if (reply.after == CannedReply::After::Silent) return;

    const qint64 toSend = reply.sendBytes < 0 ? reply.body.size() : reply.sendBytes;
    QByteArray head = "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + reply.reason + "\r\n";
    for (const auto& [name, value] : reply.headers)
        head += name + ": " + value + "\r\n";
    if (reply.chunked) {
        head += "Transfer-Encoding: chunked\r\n";
    } else if (!reply.noLength) {
        const qint64 length = reply.declaredLength < 0 ? reply.body.size() : reply.declaredLength;
        head += "Content-Length: " + QByteArray::number(length) + "\r\n";
    }
    head += reply.keepAlive ? "\r\n" : "Connection: close\r\n\r\n";

    auto encode = [&](const QByteArray& part, bool last) {
        if (!reply.chunked) return part;
        QByteArray out;
        if (!part.isEmpty()) out += QByteArray::number(part.size(), 16) + "\r\n" + part + "\r\n";
        if (last) out += "0\r\n\r\n";
        return out;
    };
    const bool whole = toSend >= reply.body.size();
    socket->write(
        head + encode(reply.body.left(toSend), whole && reply.after == CannedReply::After::Close));
    switch (reply.after) {
    case CannedReply::After::Close:
        socket->disconnectFromHost();
        break;
    case CannedReply::After::KeepOpen:
        break;
    case CannedReply::After::Hold:
        held_.append({socket, encode(reply.body.mid(toSend), true)});
        break;
    case CannedReply::After::Silent:
        break;
    case CannedReply::After::Reset: {
        socket->flush();
        // A zero linger makes the close a reset, as a crashed server or a middlebox does.
        const linger hard{1, 0};
        ::setsockopt(static_cast<int>(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard,
                     sizeof hard);
        socket->abort();
        break;
    }
    }
}

quint16 ClosedPort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

NginxServer::NginxServer(const Options& options)
    : scheme_(options.certificate.isEmpty() ? QStringLiteral("http") : QStringLiteral("https")) {
    QStringList args = {QStringLiteral("start"), state_.path(), root_.path()};
    if (!options.certificate.isEmpty()) args << "--tls" << options.certificate << options.key;
    if (!options.serverConfig.isEmpty()) {
        QFile conf(state_.filePath("server.conf"));
        if (!conf.open(QIODevice::WriteOnly) || conf.write(options.serverConfig) < 0) {
            error_ = QStringLiteral("cannot write %1").arg(conf.fileName());
            return;
        }
        args << "--server-conf" << conf.fileName();
    }
    QProcess script;
    script.start(QStringLiteral(VEX_SOURCE_DIR "/scripts/update-server.sh"), args);
    if (!script.waitForFinished(60'000) || script.exitCode() != 0) {
        error_ = QString::fromLocal8Bit(script.readAllStandardError());
        return;
    }
    port_ = script.readAllStandardOutput().trimmed().toUShort();
    if (port_ == 0) error_ = QStringLiteral("update-server.sh printed no port");
}

NginxServer::~NginxServer() {
    QProcess::execute(QStringLiteral(VEX_SOURCE_DIR "/scripts/update-server.sh"),
                      {QStringLiteral("stop"), state_.path()});
}

QString NginxServer::BaseUrl() const {
    return QStringLiteral("%1://127.0.0.1:%2").arg(scheme_).arg(port_);
}

void NginxServer::Put(const QString& relativePath, const QByteArray& content) {
    const QString path = root_.filePath(relativePath);
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(content);
}

QByteArray PatternBytes(qint64 size, int seed) {
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 x = 2463534242u + static_cast<quint32>(seed);
    for (qint64 i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        bytes[i] = static_cast<char>(x);
    }
    return bytes;
}

} // namespace vex::testing
