#include "ManagementExchange.h"

#include "ManagementProtocol.h"

namespace vellamor {

ManagementExchange::ManagementExchange(std::unique_ptr<platform::LineClient> client, QObject *parent)
    : QObject(parent), m_client(std::move(client))
{
    connect(m_client.get(), &platform::LineClient::connected, this, [this] { m_client->writeLine(m_request); });
    connect(m_client.get(), &platform::LineClient::written, this, [this] {
        if (m_linesLeft == 0)
            finish(true);
        else
            readNextLine();
    });
    connect(m_client.get(), &platform::LineClient::lineRead, this, [this](const QByteArray &line) {
        m_lastLine = line;
        if (--m_linesLeft == 0)
            finish(true);
        else
            readNextLine();
    });
    connect(m_client.get(), &platform::LineClient::failed, this, [this] { finish(false); });
}

ManagementExchange::~ManagementExchange() = default;

void ManagementExchange::start(const QString &host, qint32 storedPort, const QByteArray &request, int replyLines)
{
    m_request = request;
    m_linesLeft = replyLines;
    m_client->connectToHost(host, managementTcpPort(storedPort));
}

void ManagementExchange::readNextLine()
{
    m_client->readLine(kMaxReplyLineLength);
}

void ManagementExchange::finish(bool ok)
{
    if (m_finished)
        return;
    m_finished = true;
    if (ok)
        m_client->close();
    Q_EMIT finished(ok, ok ? m_lastLine : QByteArray());
}

} // namespace vellamor
