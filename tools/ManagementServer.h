#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QQueue>
#include <QString>
#include <chrono>
#include <functional>
#include <optional>

class QTcpServer;
class QTcpSocket;

namespace vellamor::tools {

// A stand-in for the server's management service, for development and for
// the panel's tests. It speaks the management line protocol: one request line
// "KEYWORD password" CR LF per connection. USERSSTATUS is answered with a first
// line and "USERS n"; RULESRELOAD and USERSRELOAD are logged and the
// connection closed. A wrong password is logged and the connection closed
// without an answer. It can also be told to misbehave, so that the panel can
// be watched facing a server that does.
class ManagementServer : public QObject
{
    Q_OBJECT

public:
    // How a USERSSTATUS request is answered.
    enum class Behaviour {
        Answer,       // the first line, the status line, then close
        CloseEarly,   // the first line only, then close
        Silent,       // nothing, and the connection stays open
        Drip,         // the answer one byte at a time, dripInterval apart
        OverlongLine, // the first line, then a status line of more than 16384 bytes
        Nul,          // a status line with a NUL byte after the count
    };
    Q_ENUM(Behaviour)

    explicit ManagementServer(QObject *parent = nullptr);
    ~ManagementServer() override;

    bool listen(const QHostAddress &address = QHostAddress(QHostAddress::LocalHost), quint16 port = 0);

    // Listens but never accepts, with the accept queue already full: a client's
    // connect to it neither succeeds nor fails until the client gives up.
    bool listenWithFullAcceptQueue(const QHostAddress &address = QHostAddress(QHostAddress::LocalHost));

    quint16 port() const;

    // A loopback port on which nothing listens (one that was just given up).
    static quint16 closedPort();
    QString errorString() const;

    // The password requests must carry. A null string takes any.
    void setPassword(const QString &password) { m_password = password; }
    // The first reply line to USERSSTATUS, without its line end.
    void setFirstLine(const QByteArray &line) { m_firstLine = line; }
    // The count "USERS n" carries; gets the number of the status request (1, 2, ...).
    void setUsers(std::function<int(int)> users) { m_users = std::move(users); }
    void setUsers(int users)
    {
        m_users = [users](int) { return users; };
    }
    // The whole answer to USERSSTATUS as raw bytes, instead of the first line and "USERS n".
    void setStatusReply(const QByteArray &reply) { m_statusReply = reply; }
    void clearStatusReply() { m_statusReply.reset(); }

    // How every USERSSTATUS is answered...
    void setBehaviour(Behaviour behaviour) { m_behaviour = behaviour; }
    // ...except the next ones, which take these in order, one per request.
    void scriptBehaviours(const QList<Behaviour> &behaviours);
    // Misbehave only on every n-th status request (1: on all).
    void setMisbehaveEvery(int every) { m_misbehaveEvery = qMax(1, every); }
    void setDripInterval(std::chrono::milliseconds interval) { m_dripInterval = interval; }

    // Every request line received, as received (with its line end).
    const QList<QByteArray> &requests() const { return m_requests; }
    int connectionCount() const { return m_connectionCount; }
    int openConnections() const { return m_openConnections; }

Q_SIGNALS:
    void requestReceived(const QByteArray &request);
    // One line of the server's log: the time, then what happened.
    void logged(const QString &line);
    void connectionClosed();

private:
    void onNewConnection();
    void serve(QTcpSocket *socket, const QByteArray &request);
    void answerStatus(QTcpSocket *socket);
    void drip(QTcpSocket *socket, const QByteArray &bytes);
    void log(const QString &text);
    Behaviour nextBehaviour();

    QTcpServer *m_server;
    QTcpSocket *m_filler = nullptr;
    QString m_password;
    QByteArray m_firstLine = "OK";
    std::function<int(int)> m_users = [](int) { return 0; };
    std::optional<QByteArray> m_statusReply;
    Behaviour m_behaviour = Behaviour::Answer;
    QQueue<Behaviour> m_script;
    int m_misbehaveEvery = 1;
    std::chrono::milliseconds m_dripInterval{100};
    QList<QByteArray> m_requests;
    int m_statusRequests = 0;
    int m_connectionCount = 0;
    int m_openConnections = 0;
};

} // namespace vellamor::tools
