#pragma once

#include <QByteArray>
#include <QEvent>

namespace vellamor {

// The private window message that carries one status line from the poller to
// the main window. It has the message number the server tools know (32771).
class UsersStatusEvent : public QEvent
{
public:
    static constexpr QEvent::Type EventType = static_cast<QEvent::Type>(32771);

    explicit UsersStatusEvent(QByteArray line) : QEvent(EventType), m_line(std::move(line)) {}

    const QByteArray &line() const { return m_line; }

private:
    QByteArray m_line;
};

} // namespace vellamor
