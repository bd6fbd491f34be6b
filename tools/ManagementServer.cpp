#include "ManagementServer.h"

#include <QDateTime>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <memory>

namespace vellamor::tools {

namespace {

// A request longer than this is no request of the protocol.
constexpr qsizetype kMaxRequestLength = 4096;

// One byte more than the panel takes in a reply line.
constexpr qsizetype kOverlongLineLength = 16385;

QString peerOf(const QTcpSocket *socket)
{
    return socket->peerAddress().toString() + QLatin1Char(':') + QString::number(socket->peerPort());
}

} // namespace

ManagementServer::ManagementServer(QObject *parent) : QObject(parent), m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &ManagementServer::onNewConnection);
}

ManagementServer::~ManagementServer() = default;

bool ManagementServer::listen(const QHostAddress &address, quint16 port)
{
    return m_server->listen(address, port);
}

bool ManagementServer::listenWithFullAcceptQueue(const QHostAddress &address)
{
    // A backlog of 0 holds one connection that nobody accepts; this server
    // fills it itself, so the kernel drops every later connection request and
    // the client keeps waiting for an answer to its SYN.
    m_server->setListenBacklogSize(0);
    if (!m_server->listen(address, 0))
        return false;
    m_server->pauseAccepting();
    m_filler = new QTcpSocket(this);
    m_filler->connectToHost(address, m_server->serverPort());
    return m_filler->waitForConnected(5000);
}

quint16 ManagementServer::port() const
{
    return m_server->serverPort();
}

QString ManagementServer::errorString() const
{
    return m_server->errorString();
}

void ManagementServer::scriptBehaviours(const QList<Behaviour> &behaviours)
{
    for (Behaviour b : behaviours)
        m_script.enqueue(b);
}

void ManagementServer::log(const QString &text)
{
    Q_EMIT logged(QDateTime::currentDateTime().toString(Qt::ISODateWithMs) + QLatin1Char(' ') + text);
}

void ManagementServer::onNewConnection()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        ++m_connectionCount;
        ++m_openConnections;
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer] {
            buffer->append(socket->readAll());
            const qsizetype lf = buffer->indexOf('\n');
            if (lf < 0 && buffer->size() <= kMaxRequestLength)
                return;
            // One request per connection: what follows it is not read.
            disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
            if (lf < 0 || lf >= kMaxRequestLength) {
                log(QStringLiteral("over-long request from %1, closed").arg(peerOf(socket)));
                socket->disconnectFromHost();
                return;
            }
            serve(socket, buffer->left(lf + 1));
        });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            --m_openConnections;
            socket->deleteLater();
            Q_EMIT connectionClosed();
        });
    }
}

void ManagementServer::serve(QTcpSocket *socket, const QByteArray &request)
{
    m_requests.append(request);
    Q_EMIT requestReceived(request);

    QByteArray line = request;
    line.chop(1); // LF
    if (line.endsWith('\r'))
        line.chop(1);
    const qsizetype space = line.indexOf(' ');
    const QByteArray keyword = space < 0 ? line : line.left(space);
    const QString password = space < 0 ? QString() : QString::fromLatin1(line.sliced(space + 1));
    const QString from = peerOf(socket);

    if (space < 0 || (!m_password.isNull() && password != m_password)) {
        log(QStringLiteral("%1 from %2 refused: %3")
                .arg(QString::fromLatin1(keyword), from,
                     space < 0 ? QStringLiteral("no password") : QStringLiteral("wrong password")));
        socket->disconnectFromHost();
        return;
    }
    if (keyword == "USERSSTATUS") {
        answerStatus(socket);
        return;
    }
    if (keyword == "RULESRELOAD" || keyword == "USERSRELOAD") {
        log(QStringLiteral("%1 from %2").arg(QString::fromLatin1(keyword), from));
        socket->disconnectFromHost();
        return;
    }
    log(QStringLiteral("unknown command %1 from %2").arg(QString::fromLatin1(keyword), from));
    socket->disconnectFromHost();
}

ManagementServer::Behaviour ManagementServer::nextBehaviour()
{
    if (!m_script.isEmpty())
        return m_script.dequeue();
    if (m_behaviour != Behaviour::Answer && m_statusRequests % m_misbehaveEvery != 0)
        return Behaviour::Answer;
    return m_behaviour;
}

void ManagementServer::answerStatus(QTcpSocket *socket)
{
    const int number = ++m_statusRequests;
    const Behaviour behaviour = nextBehaviour();
    const int users = m_users(number);
    const QByteArray first = m_firstLine + "\r\n";
    const QByteArray reply = m_statusReply.value_or(first + "USERS " + QByteArray::number(users) + "\r\n");
    const QString from = peerOf(socket);

    switch (behaviour) {
    case Behaviour::Answer:
        log(QStringLiteral("USERSSTATUS from %1: %2 users").arg(from).arg(users));
        socket->write(reply);
        socket->disconnectFromHost();
        break;
    case Behaviour::CloseEarly:
        log(QStringLiteral("USERSSTATUS from %1: first line only, then closed").arg(from));
        socket->write(first);
        socket->disconnectFromHost();
        break;
    case Behaviour::Silent:
        log(QStringLiteral("USERSSTATUS from %1: no answer").arg(from));
        break;
    case Behaviour::Drip:
        log(QStringLiteral("USERSSTATUS from %1: %2 users, one byte every %3 ms")
                .arg(from)
                .arg(users)
                .arg(m_dripInterval.count()));
        drip(socket, reply);
        break;
    case Behaviour::OverlongLine:
        log(QStringLiteral("USERSSTATUS from %1: a status line of %2 bytes").arg(from).arg(kOverlongLineLength));
        socket->write(first + QByteArray(kOverlongLineLength, 'x') + "\r\n");
        socket->disconnectFromHost();
        break;
    case Behaviour::Nul:
        log(QStringLiteral("USERSSTATUS from %1: %2 users, then a NUL").arg(from).arg(users));
        socket->write(first + "USERS " + QByteArray::number(users) + '\0' + " after the NUL\r\n");
        socket->disconnectFromHost();
        break;
    }
}

void ManagementServer::drip(QTcpSocket *socket, const QByteArray &bytes)
{
    auto *timer = new QTimer(socket);
    timer->setInterval(m_dripInterval);
    auto sent = std::make_shared<qsizetype>(0);
    connect(timer, &QTimer::timeout, socket, [socket, timer, bytes, sent] {
        if (*sent >= bytes.size()) {
            timer->stop();
            socket->disconnectFromHost();
            return;
        }
        socket->write(bytes.mid((*sent)++, 1));
    });
    timer->start();
}

quint16 ManagementServer::closedPort()
{
    ManagementServer server;
    if (!server.listen())
        qFatal("cannot listen on loopback");
    return server.port();
}

} // namespace vellamor::tools
