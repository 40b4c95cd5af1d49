#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QTcpServer>
#include <QTemporaryDir>

class QTcpSocket;

namespace vex::testing {

// How the fault server answers one path.
struct CannedReply {
    enum class After {
        Close,    // close the connection after the bytes to send
        KeepOpen, // send nothing more and keep the connection open (a stalled server)
        Hold,     // wait for Release(), then send the rest of the body and close
        Silent,   // send nothing at all, not even the status line, and keep the connection
        Reset,    // reset the connection (RST) after the bytes to send
    };

    int status = 200;
    QByteArray reason = "OK";
    QByteArray body{};
    QList<QPair<QByteArray, QByteArray>> headers{};
    qint64 declaredLength = -1; // Content-Length to announce; -1: the body's size
    bool chunked = false;       // send the body in chunked encoding instead of a length
    bool noLength = false;      // neither: the body ends when the connection closes
    bool keepAlive = false;     // no "Connection: close" in the head
    qint64 sendBytes = -1;      // bytes of the body sent at first; -1: all of it
    After after = After::Close;
};

// A small HTTP/1.1 server on 127.0.0.1 that misbehaves on request: cut bodies, stalls, silence,
// error statuses, redirects. Paths without a reply get 404.
class FaultServer : public QObject {
    Q_OBJECT
  public:
    FaultServer();
    ~FaultServer() override;

    QString BaseUrl() const;
    QString Url(const QString& path) const { return BaseUrl() + path; }

    void Route(const QByteArray& path, CannedReply reply);
    // The n-th request for path gets the n-th reply; the last one answers every later request.
    void RouteSequence(const QByteArray& path, QList<CannedReply> replies);
    // Sends the rest of every held reply and closes those connections.
    void Release();
    int RequestCount(const QByteArray& path) const { return requests_.value(path); }
    // The request line and headers of the last request for path, each line ending in CR LF.
    QByteArray RequestHead(const QByteArray& path) const { return heads_.value(path); }

  signals:
    void Requested(const QByteArray& path);

  private:
    void OnConnection();
    void Answer(QTcpSocket* socket, const QByteArray& path);

    QTcpServer server_;
    QHash<QByteArray, QList<CannedReply>> routes_;
    QHash<QByteArray, int> requests_;
    QHash<QByteArray, QByteArray> heads_;
    QList<QPair<QTcpSocket*, QByteArray>> held_; // socket, rest of the body
    QList<QTcpSocket*> sockets_;
};

// A port on 127.0.0.1 that nothing listens on (connections are refused).
quint16 ClosedPort();

// nginx serving a temporary document root, started through scripts/update-server.sh and
// stopped when the object goes away.
class NginxServer {
  public:
    struct Options {
        // PEM certificate and key: https instead of http.
        QString certificate{};
        QString key{};
        // Directives added to the server block, e.g. a location that redirects.
        QByteArray serverConfig{};
    };

    NginxServer() : NginxServer(Options{}) {}
    explicit NginxServer(const Options& options);
    ~NginxServer();

    bool Started() const { return port_ != 0; }
    QString StartError() const { return error_; }
    QString BaseUrl() const;
    // Writes a file under the document root, e.g. Put("vexbrindle/update.html", "1.2\n").
    void Put(const QString& relativePath, const QByteArray& content);
    QString Root() const { return root_.path(); }

  private:
    QTemporaryDir state_;
    QTemporaryDir root_;
    QString scheme_;
    quint16 port_ = 0;
    QString error_;
};

// Bytes of a repeatable, non-trivial pattern, for checking that a body arrives byte for byte.
QByteArray PatternBytes(qint64 size, int seed = 0);

} // namespace vex::testing
