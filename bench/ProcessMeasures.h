#pragma once

// What the benchmarks that start the panel in processes of their own share:
// the clock that parent and children agree on, starting a child and reading
// its one line of figures, a process's processor time and peak memory, and
// the rule set they load.

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QList>
#include <QProcess>
#include <QRandomGenerator>
#include <QStringList>
#include <optional>
#include <sys/resource.h>
#include <time.h>

namespace vellamor::bench {

// The monotonic clock, which the parent and its children share.
inline qint64 nowNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// In a child: when its parent started it (--since), so that the child's
// figures include the process start; the parent's own start otherwise.
inline qint64 startedNs(int argc, char **argv)
{
    for (int i = 1; i + 1 < argc; ++i) {
        if (qstrcmp(argv[i], "--since") == 0)
            return QByteArray(argv[i + 1]).toLongLong();
    }
    return nowNs();
}

// Runs this program again with `arguments`, timed from just before the start,
// and gives the `fields` figures of the one line it prints; nothing when it
// fails, prints something else or takes longer than `timeoutMs`.
inline std::optional<QList<QByteArray>> runChild(QStringList arguments, qsizetype fields, int timeoutMs)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    arguments << QStringLiteral("--since") << QString::number(nowNs());
    child.start(QCoreApplication::applicationFilePath(), arguments);
    if (!child.waitForFinished(timeoutMs)) {
        child.kill();
        child.waitForFinished();
        return std::nullopt;
    }
    QList<QByteArray> figures = child.readAllStandardOutput().trimmed().split(' ');
    if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0 || figures.size() != fields)
        return std::nullopt;
    return figures;
}

// Processor time this process has used so far, user and system, in ms.
inline double cpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval &t) { return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// Peak resident memory of this process so far, in KiB.
inline qint64 peakMemoryKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// A rule set like an imported block list: a third single addresses, a third
// /24 blocks, a third ranges; `count` rules, or as many as fit in `maxBytes`.
inline QByteArray blockListRules(int count, qsizetype maxBytes = -1)
{
    QRandomGenerator random(15);
    QByteArray file = "POLICY ACCEPT\r\n";
    file.reserve(maxBytes >= 0 ? maxBytes : qsizetype(count) * 26);
    for (int i = 0; i < count; ++i) {
        const quint32 a = random.generate();
        QByteArray line = (i % 2 ? "REJECT " : "ACCEPT ") + QByteArray::number(a >> 24) + '.' +
                          QByteArray::number((a >> 16) & 255) + '.' + QByteArray::number((a >> 8) & 255);
        switch (i % 3) {
        case 0:
            line += '.' + QByteArray::number(a & 255);
            break;
        case 1:
            line += ".0/24";
            break;
        default:
            line += ".10-" + QByteArray::number(10 + (a & 127));
            break;
        }
        line += "\r\n";
        if (maxBytes >= 0 && file.size() + line.size() > maxBytes)
            break;
        file += line;
    }
    return file;
}

} // namespace vellamor::bench
