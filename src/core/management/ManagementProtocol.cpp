#include "ManagementProtocol.h"

#include <algorithm>

namespace vellamor {

bool fitsRequestLine(const QString &password)
{
    return std::none_of(password.cbegin(), password.cend(), [](QChar c) { return c.unicode() < 0x20; });
}

std::optional<QByteArray> managementRequest(QByteArrayView keyword, const QString &password)
{
    if (!fitsRequestLine(password))
        return std::nullopt;
    QByteArray line;
    line.reserve(keyword.size() + password.size() + 3);
    line.append(keyword);
    line.append(' ');
    // One '?' per character, also for one written as a surrogate pair.
    for (qsizetype i = 0; i < password.size(); ++i) {
        const QChar c = password.at(i);
        if (c.isHighSurrogate() && i + 1 < password.size() && password.at(i + 1).isLowSurrogate())
            ++i;
        line.append(c.unicode() < 0x80 ? char(c.unicode()) : '?');
    }
    line.append("\r\n");
    return line;
}

quint16 managementTcpPort(qint32 storedPort)
{
    return quint16(quint32(storedPort) & 0xFFFFu);
}

QString usersCountText(const QByteArray &statusLine)
{
    // The line reaches the page as a C string: whatever follows a NUL is not part of it.
    const qsizetype nul = statusLine.indexOf('\0');
    const QByteArrayView line = QByteArrayView(statusLine).first(nul < 0 ? statusLine.size() : nul);
    const qsizetype space = line.indexOf(' ');
    const QByteArrayView count = space < 0 ? line : line.sliced(space + 1);

    QString text;
    text.reserve(count.size());
    for (const char byte : count)
        text.append(QChar(uchar(byte) < 0x80 ? char16_t(uchar(byte)) : u'?'));
    return text;
}

QString usersStatusCaption(const QByteArray &statusLine)
{
    return usersCountText(statusLine) + QLatin1StringView(" users are connected");
}

} // namespace vellamor
