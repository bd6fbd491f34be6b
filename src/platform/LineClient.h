#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <chrono>
#include <memory>

namespace vellamor::platform {

// A TCP client that speaks in lines, for one exchange on one connection.
//
// It never blocks: every call returns at once and its outcome arrives later as
// a signal, on the thread that made the client, through that thread's event
// loop (never from inside the call). One step runs at a time: connect, then
// any number of writes and reads, then close. A step that has not finished
// within the client's time limit fails, so a peer that accepts and never
// answers costs one time limit, not the caller's life. After failed() the
// client is finished; destroying it at any moment aborts the connection.
class LineClient : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Connects to the host (a numeric address, or a name that is looked up
    // first). An empty host or port 0 fails at once. Ends in connected().
    virtual void connectToHost(const QString &host, quint16 port) = 0;

    // Sends the bytes as they are. Ends in written() once all of them have
    // been handed to the system.
    virtual void writeLine(const QByteArray &line) = 0;

    // Reads the next line: the bytes up to the next LF, without the LF and
    // without a CR right before it. A line whose LF comes after more than
    // maxLength bytes fails, as does a peer that closes before the LF.
    // Ends in lineRead().
    virtual void readLine(qsizetype maxLength) = 0;

    // Closes the connection once what was written has left. Emits nothing.
    virtual void close() = 0;

Q_SIGNALS:
    void connected();
    void written();
    void lineRead(const QByteArray &line);
    // The step under way failed: refused, unreachable, unknown host, closed
    // by the peer, a read or write error, an over-long line, or out of time.
    void failed();
};

// Makes one client per exchange: every management command has its own
// connection. create() may be called from any thread; the client belongs to
// the calling thread, which must run an event loop while it is used.
class LineClientFactory
{
public:
    virtual ~LineClientFactory() = default;
    virtual std::unique_ptr<LineClient> create() = 0;
};

// Clients on Qt's TCP socket. Each step gives up after stepTimeLimit.
std::shared_ptr<LineClientFactory>
makeQtLineClientFactory(std::chrono::milliseconds stepTimeLimit = std::chrono::seconds(5));

} // namespace vellamor::platform
