#pragma once

#include "LineClient.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <memory>

namespace vellamor {

// One command of the management line protocol on its own connection: connect,
// send the request line, read the reply lines the command expects, close. It
// runs on the event loop of the thread that made it and never blocks it.
// Destroying it at any moment abandons the command and its connection.
class ManagementExchange : public QObject
{
    Q_OBJECT

public:
    explicit ManagementExchange(std::unique_ptr<platform::LineClient> client, QObject *parent = nullptr);
    ~ManagementExchange() override;

    // Starts the command against the host and the low 16 bits of the stored
    // port. With replyLines 0 the connection closes as soon as the request
    // has been sent. Call once.
    void start(const QString &host, qint32 storedPort, const QByteArray &request, int replyLines);

Q_SIGNALS:
    // Emitted once, from the event loop. On success lastLine is the last reply
    // line read (empty when none was expected).
    void finished(bool ok, const QByteArray &lastLine);

private:
    void readNextLine();
    void finish(bool ok);

    std::unique_ptr<platform::LineClient> m_client;
    QByteArray m_request;
    QByteArray m_lastLine;
    int m_linesLeft = 0;
    bool m_finished = false;
};

} // namespace vellamor
