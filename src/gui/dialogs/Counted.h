#pragma once

#include <QLocale>
#include <QString>

namespace vellamor {

// "1 entry read", "412,908 entries read": a count in the panel's English,
// with its thousands grouped, and the noun that agrees with it.
inline QString counted(qint64 number, const QString &one, const QString &many)
{
    return QLocale(QLocale::English).toString(number) + QLatin1Char(' ') + (number == 1 ? one : many);
}

} // namespace vellamor
