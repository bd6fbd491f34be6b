#pragma once

#include <QString>
#include <stdexcept>

namespace vellamor {

// The one exception type of the panel. It carries the text the user sees; the
// standard error box (see StandardError.h) shows it unchanged apart from the
// final full stop rule.
class Error : public std::runtime_error
{
public:
    explicit Error(const QString &message) : std::runtime_error(message.toStdString()), m_message(message) {}

    const QString &message() const noexcept { return m_message; }

private:
    QString m_message;
};

} // namespace vellamor
