#pragma once

#include "LineClient.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

class QAbstractEventDispatcher;
class QEventLoop;

namespace vellamor {

// The users-status poller. On a thread of its own it sleeps one cycle, then
// asks the management service for its user count (USERSSTATUS), over and
// over. Each status line goes to the receiver as a UsersStatusEvent; a cycle
// that ends without one (refused, closed early, out of time, over-long line,
// or no target to ask) is announced by usersStatusUnknown(). It never waits
// on the receiver, so the window can always stop it.
//
// The thread is a std::thread that stop() joins: the join orders everything
// the poller did before the caller goes on, in a way the thread checkers see.
class StatusThread : public QObject
{
    Q_OBJECT

public:
    StatusThread(std::shared_ptr<platform::LineClientFactory> clients, QObject *receiver, QObject *parent = nullptr);
    // Stops the thread if it still runs.
    ~StatusThread() override;

    // Whom to ask. Safe from any thread; the cycle after the call asks the new target.
    void SetTarget(const QString &host, qint32 port, const QString &password);

    // One cycle: the poller asks the server once a second.
    static constexpr std::chrono::milliseconds kCycleInterval{1000};

    // The sleep before each exchange (kCycleInterval unless set). Safe from any
    // thread, and also shortens or lengthens the sleep under way.
    void setCycleInterval(std::chrono::milliseconds interval);

    void start();

    // Sets StopRequested, wakes the thread from its sleep, abandons the
    // exchange under way (closing its connection) and waits for the thread to
    // end, which takes no longer than it takes to close one socket. Call from
    // the thread that called start(); calling it again does nothing.
    void stop();

    // The loop runs while this is clear.
    std::atomic<bool> StopRequested{false};

Q_SIGNALS:
    // A cycle ended without a status line. Emitted on the thread this object
    // lives on, in order with the status lines posted to the receiver.
    void usersStatusUnknown();

protected:
    bool event(QEvent *event) override;

private:
    enum class PollResult { Shown, Failed, Skipped, Stopped };

    struct Target
    {
        QString host;
        qint32 port = 0;
        QString password;
    };

    // The poll loop; the body of the thread.
    void Execute();
    // One USERSSTATUS exchange and the hand-off of its status line.
    PollResult PollUsersStatus(QEventLoop &loop);
    // False when a stop cut the sleep short.
    bool sleepOneCycle();
    // Runs what the exchange's socket and timers have brought, waiting for
    // more; returns early on a stop.
    void runEventsOnce(QEventLoop &loop);
    static constexpr std::chrono::milliseconds kWindowsEventSlice{5};

    const std::shared_ptr<platform::LineClientFactory> m_clients;
    QObject *const m_receiver;

    // Guards everything below that both threads touch.
    std::mutex m_mutex;
    std::condition_variable m_wake;
    QString Host;
    qint32 Port = 0;
    QString Password;
    std::chrono::milliseconds m_cycleInterval = kCycleInterval;
    // The poller thread's event dispatcher while it runs, so stop() can wake it.
    QAbstractEventDispatcher *m_dispatcher = nullptr;

    std::thread m_thread;
};

} // namespace vellamor
