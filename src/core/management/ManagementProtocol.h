#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QtGlobal>
#include <optional>

namespace vellamor {

// The server's management line protocol, client side. One command per
// connection: the request line "KEYWORD password" CR LF in US-ASCII, then the
// reply lines the command expects.

// A command of the protocol: its keyword and how many reply lines the client
// reads back before it closes the connection.
struct ManagementCommand
{
    const char *keyword;
    int replyLines;
};

// The poller's question: the first reply line is read and ignored, the second
// is the status line.
inline constexpr ManagementCommand kUsersStatusCommand{"USERSSTATUS", 2};
// The reloads: the connection closes as soon as the request has been sent.
inline constexpr ManagementCommand kRulesReloadCommand{"RULESRELOAD", 0};
inline constexpr ManagementCommand kUsersReloadCommand{"USERSRELOAD", 0};

// A reply line whose LF comes after more than this many bytes ends the exchange.
inline constexpr qsizetype kMaxReplyLineLength = 16384;

// Whether a password can go in the request line: a control character (CR,
// LF, NUL, anything below a blank) would end the line early or split it in
// two, and the server would read a second command from what follows.
bool fitsRequestLine(const QString &password);

// The request line, or nothing when the password does not fit in it. A
// character outside 7-bit ASCII cannot be carried and goes as '?'; an empty
// password still sends the keyword and its space.
std::optional<QByteArray> managementRequest(QByteArrayView keyword, const QString &password);

// The TCP port a stored management port stands for: its low 16 bits, so
// 65537 is port 1 and 65536 is port 0, which never connects.
quint16 managementTcpPort(qint32 storedPort);

// The count text of a status line: everything after its first space, or the
// whole line when it has none. The line ends at a NUL byte; bytes outside
// 7-bit ASCII show as '?'.
QString usersCountText(const QByteArray &statusLine);

// The caption the Service page shows for a status line.
QString usersStatusCaption(const QByteArray &statusLine);

} // namespace vellamor
