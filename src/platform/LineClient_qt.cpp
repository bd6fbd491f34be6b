#include "LineClient.h"

#include <QNetworkProxy>
#include <QTcpSocket>
#include <QTimer>

namespace vellamor::platform {

namespace {

// How much the socket may hold before we take it; a peer that floods us is
// read at our pace rather than into ever more memory.
constexpr qint64 kSocketReadBuffer = qint64(256) * 1024;

class QtLineClient final : public LineClient
{
public:
    explicit QtLineClient(std::chrono::milliseconds stepTimeLimit);
    ~QtLineClient() override;

    void connectToHost(const QString &host, quint16 port) override;
    void writeLine(const QByteArray &line) override;
    void readLine(qsizetype maxLength) override;
    void close() override;

private:
    enum class Step { Idle, Connecting, Writing, Reading, Finished };

    void beginStep(Step step);
    // Ends the step and reports it from the event loop, so that a caller never
    // sees a signal from inside its own call.
    template<typename Report> void endStep(Report report);
    void fail();

    void onConnected();
    void onBytesWritten(qint64 bytes);
    void onConnectionLost();
    void takeIncoming();
    void deliverLine();

    QTcpSocket *m_socket;
    QTimer *m_stepTimer;
    Step m_step = Step::Idle;
    QByteArray m_incoming;
    qint64 m_unwritten = 0;
    qsizetype m_maxLength = 0;
    bool m_peerClosed = false;
};

QtLineClient::QtLineClient(std::chrono::milliseconds stepTimeLimit)
    : m_socket(new QTcpSocket(this)), m_stepTimer(new QTimer(this))
{
    // The management service is reached directly, never through a proxy.
    m_socket->setProxy(QNetworkProxy::NoProxy);
    m_socket->setReadBufferSize(kSocketReadBuffer);
    m_stepTimer->setSingleShot(true);
    m_stepTimer->setInterval(stepTimeLimit);

    connect(m_stepTimer, &QTimer::timeout, this, &QtLineClient::fail);
    connect(m_socket, &QTcpSocket::connected, this, &QtLineClient::onConnected);
    connect(m_socket, &QTcpSocket::bytesWritten, this, &QtLineClient::onBytesWritten);
    connect(m_socket, &QTcpSocket::readyRead, this, &QtLineClient::takeIncoming);
    connect(m_socket, &QTcpSocket::disconnected, this, &QtLineClient::onConnectionLost);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &QtLineClient::onConnectionLost);
}

QtLineClient::~QtLineClient()
{
    // Nothing of ours may run while the socket goes down.
    m_socket->disconnect(this);
    m_socket->abort();
}

void QtLineClient::beginStep(Step step)
{
    m_step = step;
    m_stepTimer->start();
}

template<typename Report> void QtLineClient::endStep(Report report)
{
    m_step = Step::Idle;
    m_stepTimer->stop();
    QMetaObject::invokeMethod(this, std::move(report), Qt::QueuedConnection);
}

void QtLineClient::fail()
{
    if (m_step == Step::Finished)
        return;
    m_step = Step::Finished;
    m_stepTimer->stop();
    m_socket->disconnect(this);
    m_socket->abort();
    m_incoming.clear();
    QMetaObject::invokeMethod(
        this, [this] { Q_EMIT failed(); }, Qt::QueuedConnection);
}

void QtLineClient::connectToHost(const QString &host, quint16 port)
{
    if (m_step != Step::Idle || m_socket->state() != QAbstractSocket::UnconnectedState || host.isEmpty() || port == 0) {
        fail();
        return;
    }
    beginStep(Step::Connecting);
    m_socket->connectToHost(host, port);
}

void QtLineClient::onConnected()
{
    if (m_step == Step::Connecting)
        endStep([this] { Q_EMIT connected(); });
}

void QtLineClient::writeLine(const QByteArray &line)
{
    if (m_step != Step::Idle || m_peerClosed || m_socket->state() != QAbstractSocket::ConnectedState) {
        fail();
        return;
    }
    beginStep(Step::Writing);
    m_unwritten = line.size();
    if (m_unwritten == 0) {
        endStep([this] { Q_EMIT written(); });
        return;
    }
    if (m_socket->write(line) != line.size())
        fail();
}

void QtLineClient::onBytesWritten(qint64 bytes)
{
    if (m_step != Step::Writing)
        return;
    m_unwritten -= bytes;
    if (m_unwritten <= 0)
        endStep([this] { Q_EMIT written(); });
}

void QtLineClient::readLine(qsizetype maxLength)
{
    if (m_step != Step::Idle) {
        fail();
        return;
    }
    m_maxLength = maxLength;
    beginStep(Step::Reading);
    takeIncoming();
}

void QtLineClient::onConnectionLost()
{
    if (m_step == Step::Finished)
        return;
    // What the peer sent before it closed still counts: a server may answer
    // and close at once. Only a step that still needs the connection fails.
    m_peerClosed = true;
    if (m_step == Step::Connecting || m_step == Step::Writing)
        fail();
    else if (m_step == Step::Reading)
        takeIncoming();
}

void QtLineClient::takeIncoming()
{
    if (m_step != Step::Reading)
        return; // left in the socket until a line is asked for
    // Take only what the current line needs: once a whole line is here, the
    // rest stays in the socket.
    while (!m_incoming.contains('\n') && m_incoming.size() <= m_maxLength && m_socket->bytesAvailable() > 0)
        m_incoming += m_socket->read(m_maxLength + 1 - m_incoming.size());
    deliverLine();
}

void QtLineClient::deliverLine()
{
    const qsizetype lf = m_incoming.indexOf('\n');
    if (lf > m_maxLength || (lf < 0 && m_incoming.size() > m_maxLength)) {
        fail(); // the line is longer than the limit, whatever follows
        return;
    }
    if (lf < 0) {
        if (m_peerClosed && m_socket->bytesAvailable() == 0)
            fail();
        return;
    }
    QByteArray line = m_incoming.left(lf);
    m_incoming.remove(0, lf + 1);
    if (line.endsWith('\r'))
        line.chop(1);
    endStep([this, line] { Q_EMIT lineRead(line); });
}

void QtLineClient::close()
{
    if (m_step == Step::Finished)
        return;
    m_step = Step::Finished;
    m_stepTimer->stop();
    m_socket->disconnect(this);
    m_socket->disconnectFromHost();
}

class QtLineClientFactory final : public LineClientFactory
{
public:
    explicit QtLineClientFactory(std::chrono::milliseconds stepTimeLimit) : m_stepTimeLimit(stepTimeLimit) {}

    std::unique_ptr<LineClient> create() override { return std::make_unique<QtLineClient>(m_stepTimeLimit); }

private:
    const std::chrono::milliseconds m_stepTimeLimit;
};

} // namespace

std::shared_ptr<LineClientFactory> makeQtLineClientFactory(std::chrono::milliseconds stepTimeLimit)
{
    return std::make_shared<QtLineClientFactory>(stepTimeLimit);
}

} // namespace vellamor::platform
