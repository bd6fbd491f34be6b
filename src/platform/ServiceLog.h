#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

namespace vellamor::platform {

// The server's own log, followed: its last lines first, then every new line as
// the server writes it, until the object is destroyed. Nothing here waits:
// lines and problems arrive as signals from the event loop.
class ServiceLog : public QObject
{
    Q_OBJECT

public:
    // How many of the last lines come first.
    static constexpr int kLastLines = 200;

    using QObject::QObject;

    // Where the lines come from, for the reader ("the journal of VellamorServer.service").
    virtual QString source() const = 0;

    virtual void start() = 0;

Q_SIGNALS:
    void linesRead(const QStringList &lines);
    // The log cannot be read, in plain words for the reader, with what would
    // help (which group grants access, say); empty text: the problem is over.
    void problem(const QString &explanation);
};

// Cuts bytes into lines as they arrive, holding back a line until its end
// comes. A line that grows past kLongestLine bytes is let out in pieces, so
// a log without line breaks cannot fill the memory.
class LineSplitter
{
public:
    static constexpr qsizetype kLongestLine = qsizetype(64) * 1024;

    // The lines completed by these bytes, without their "\n" or "\r\n".
    QList<QByteArray> feed(const QByteArray &bytes);

private:
    QByteArray m_partial;
};

// Opens the log of a service.
class ServiceLogs
{
public:
    virtual ~ServiceLogs() = default;
    // logDirectory: the server's log directory, for systems whose services
    // write their log into files there.
    virtual std::unique_ptr<ServiceLog> open(const QString &serviceName, const QString &logDirectory) = 0;
};

// The unit's journal, through journalctl (found on the PATH).
std::shared_ptr<ServiceLogs> makeJournalLogs();
// The newest file of the log directory.
std::shared_ptr<ServiceLogs> makeFolderLogs();
// The journal on Linux, the log directory elsewhere.
std::shared_ptr<ServiceLogs> makeSystemServiceLogs();

} // namespace vellamor::platform
