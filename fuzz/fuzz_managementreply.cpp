// The users status exchange, through the real line client, against a peer on
// the loopback that answers with the input's bytes and closes. The exchange
// ends once: with the second reply line when both lines arrive whole within
// the length limit, a failure otherwise. The Service page's caption is then
// made from that line.
#include "FuzzSupport.h"
#include "management/ManagementExchange.h"
#include "management/ManagementProtocol.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTcpServer>
#include <QTcpSocket>
#include <optional>

using namespace vellamor;
using fuzz::require;

namespace {

QTcpServer *g_peer = nullptr;
QByteArray g_reply;
int g_answered = 0;

// The line the exchange should end with, read the simple way.
std::optional<QByteArray> expectedStatusLine(const QByteArray &reply)
{
    qsizetype start = 0;
    QByteArray line;
    for (int i = 0; i < kUsersStatusCommand.replyLines; ++i) {
        const qsizetype lf = reply.indexOf('\n', start);
        if (lf < 0 || lf - start > kMaxReplyLineLength)
            return std::nullopt;
        line = reply.mid(start, lf - start);
        if (line.endsWith('\r'))
            line.chop(1);
        start = lf + 1;
    }
    return line;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    new QCoreApplication(*argc, *argv);
    g_peer = new QTcpServer;
    require(g_peer->listen(QHostAddress::LocalHost), "a peer on the loopback");
    QObject::connect(g_peer, &QTcpServer::newConnection, [] {
        while (QTcpSocket *socket = g_peer->nextPendingConnection()) {
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            socket->write(g_reply);
            socket->disconnectFromHost();
            ++g_answered;
        }
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    g_reply = fuzz::expandedInput(data, size, 4 * kMaxReplyLineLength);
    const int answeredBefore = g_answered;
    int finishedCount = 0;
    bool ok = false;
    QByteArray statusLine;
    {
        ManagementExchange exchange(platform::makeQtLineClientFactory()->create());
        QEventLoop loop;
        QObject::connect(&exchange, &ManagementExchange::finished, [&](bool success, const QByteArray &line) {
            ++finishedCount;
            ok = success;
            statusLine = line;
            loop.quit();
        });
        exchange.start(QStringLiteral("127.0.0.1"), g_peer->serverPort(),
                       *managementRequest(kUsersStatusCommand.keyword, QStringLiteral("secret")),
                       kUsersStatusCommand.replyLines);
        loop.exec();
        QCoreApplication::processEvents(); // a second finished() would come now
    }
    require(finishedCount == 1, "the exchange finishes once");
    if (!ok && g_answered == answeredBefore)
        return 0; // the loopback ran out of ports for a moment: no verdict on this input
    const std::optional<QByteArray> expected = expectedStatusLine(g_reply);
    require(ok == expected.has_value(), "the exchange succeeds exactly when two whole lines arrive");
    if (!ok)
        return 0;
    require(statusLine == *expected, "the status line is the second line, without its line end");
    const QString caption = usersStatusCaption(statusLine);
    require(caption.endsWith(QLatin1StringView(" users are connected")), "the caption's words");
    for (const QChar c : caption)
        require(c.unicode() < 0x80 && c.unicode() != 0, "the caption is ASCII without NUL");
    return 0;
}
