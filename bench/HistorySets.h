#pragma once

// The configuration the history benchmarks save over and over: a gc.xml and
// rule sets of random /24 blocks, written as the panel writes rules.txt.

#include <QByteArray>
#include <QByteArrayList>
#include <QElapsedTimer>
#include <QRandomGenerator>

namespace vellamor::bench::history_sets {

constexpr int kRules = 100000;

inline QByteArray rule(QRandomGenerator &random)
{
    const quint32 a = random.generate();
    return "REJECT " + QByteArray::number(a >> 24) + '.' + QByteArray::number((a >> 16) & 255) + '.' +
           QByteArray::number((a >> 8) & 255) + ".0/24";
}

inline QByteArray compose(const QByteArrayList &rules)
{
    QByteArray file = "POLICY ACCEPT\r\n";
    file.reserve(rules.size() * 24 + 16);
    for (const QByteArray &r : rules)
        file += r + "\r\n";
    return file;
}

inline const QByteArray kConfig =
    "<global><ACC><port>8080</port><maxcon>0</maxcon><logdir>/srv/logs</logdir><cert/><key/>"
    "<IP>127.0.0.1</IP></ACC><Management><port>1011</port><password>pw</password>"
    "<IP>127.0.0.1</IP></Management></global>";

inline double ms(const QElapsedTimer &clock)
{
    return double(clock.nsecsElapsed()) / 1e6;
}

} // namespace vellamor::bench::history_sets
