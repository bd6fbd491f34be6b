#pragma once

// What the benchmarks share: running offscreen unless told otherwise, and
// measuring how long the event loop goes without a turn.

#include <QElapsedTimer>
#include <QTimer>
#include <QtGlobal>

namespace vellamor::bench {

// Offscreen unless QT_QPA_PLATFORM says otherwise; call before the
// application object exists. The offscreen platform remarks on every window
// it shows; its remark is dropped so that the tables stay readable.
inline void preferOffscreen()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static const QtMessageHandler defaultHandler = qInstallMessageHandler(nullptr);
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &context, const QString &message) {
        if (message != QLatin1StringView("This plugin does not support propagateSizeHints()"))
            defaultHandler(type, context, message);
    });
}

// The longest time between two turns of the event loop while it runs: a
// zero timer fires once per turn.
class EventLoopGaps
{
public:
    explicit EventLoopGaps(QObject *context)
    {
        m_turns.setInterval(0);
        QObject::connect(&m_turns, &QTimer::timeout, context, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            if (m_lastTurn >= 0)
                m_longest = qMax(m_longest, now - m_lastTurn);
            m_lastTurn = now;
        });
    }
    void start()
    {
        m_lastTurn = -1;
        m_longest = 0;
        m_clock.start();
        m_turns.start();
    }
    void stop() { m_turns.stop(); }
    double longestMs() const { return double(m_longest) / 1e6; }

private:
    QTimer m_turns;
    QElapsedTimer m_clock;
    qint64 m_lastTurn = -1;
    qint64 m_longest = 0;
};

} // namespace vellamor::bench
