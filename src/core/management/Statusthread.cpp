#include "Statusthread.h"

#include "ManagementExchange.h"
#include "ManagementProtocol.h"
#include "ThreadHandoff.h"
#include "UsersStatusEvent.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>

namespace vellamor {

namespace {

QEvent::Type usersStatusUnknownEventType()
{
    static const auto type = QEvent::Type(QEvent::registerEventType());
    return type;
}

} // namespace

StatusThread::StatusThread(std::shared_ptr<platform::LineClientFactory> clients, QObject *receiver, QObject *parent)
    : QObject(parent), m_clients(std::move(clients)), m_receiver(receiver)
{
}

StatusThread::~StatusThread()
{
    stop();
}

bool StatusThread::event(QEvent *event)
{
    // Before anything reads the event, which the poller's thread built.
    receiveHandoff();
    if (event->type() == usersStatusUnknownEventType()) {
        Q_EMIT usersStatusUnknown();
        return true;
    }
    return QObject::event(event);
}

void StatusThread::SetTarget(const QString &host, qint32 port, const QString &password)
{
    std::lock_guard lock(m_mutex);
    Host = host;
    Port = port;
    Password = password;
}

void StatusThread::setCycleInterval(std::chrono::milliseconds interval)
{
    {
        std::lock_guard lock(m_mutex);
        m_cycleInterval = interval;
    }
    m_wake.notify_all();
}

void StatusThread::start()
{
    if (m_thread.joinable() || StopRequested)
        return;
    m_thread = std::thread([this] { Execute(); });
}

void StatusThread::stop()
{
    {
        std::lock_guard lock(m_mutex);
        StopRequested = true;
        if (m_dispatcher)
            m_dispatcher->wakeUp();
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void StatusThread::Execute()
{
    // The loop gives this thread its event dispatcher, which runs the
    // sockets of the exchanges and which stop() wakes.
    QEventLoop loop;
    {
        std::lock_guard lock(m_mutex);
        m_dispatcher = QAbstractEventDispatcher::instance();
    }

    while (!StopRequested && sleepOneCycle()) {
        const PollResult result = PollUsersStatus(loop);
        if (result == PollResult::Failed || result == PollResult::Skipped) {
            // Announced on the thread this object lives on (see event()), in
            // order with the status lines posted to the receiver.
            auto *event = new QEvent(usersStatusUnknownEventType());
            publishHandoff();
            QCoreApplication::postEvent(this, event);
        }
    }

    std::lock_guard lock(m_mutex);
    m_dispatcher = nullptr;
}

void StatusThread::runEventsOnce(QEventLoop &loop)
{
#ifdef Q_OS_WIN
    // A thread of our own that waits in its event loop on Windows (seen under
    // Wine) sleeps through the notices of its own socket and timers: they are
    // there, but the wait does not wake for them. So the exchange is driven
    // in short slices, each waiting on the stop's wake-up; between exchanges
    // the thread sleeps in sleepOneCycle() as everywhere.
    loop.processEvents(QEventLoop::AllEvents);
    std::unique_lock lock(m_mutex);
    m_wake.wait_for(lock, kWindowsEventSlice, [this] { return StopRequested.load(); });
#else
    loop.processEvents(QEventLoop::WaitForMoreEvents);
#endif
}

bool StatusThread::sleepOneCycle()
{
    std::unique_lock lock(m_mutex);
    const auto started = std::chrono::steady_clock::now();
    while (!StopRequested) {
        // Read again after every wake: the interval may have changed meanwhile.
        const auto due = started + m_cycleInterval;
        if (std::chrono::steady_clock::now() >= due)
            return true;
        m_wake.wait_until(lock, due);
    }
    return false;
}

StatusThread::PollResult StatusThread::PollUsersStatus(QEventLoop &loop)
{
    Target target;
    {
        std::lock_guard lock(m_mutex);
        target = {Host, Port, Password};
    }
    const std::optional<QByteArray> request = managementRequest(kUsersStatusCommand.keyword, target.password);
    if (target.host.isEmpty() || target.port == 0 || !request)
        return PollResult::Skipped;

    bool done = false;
    bool ok = false;
    QByteArray statusLine;
    ManagementExchange exchange(m_clients->create());
    connect(&exchange, &ManagementExchange::finished, &exchange, [&](bool success, const QByteArray &line) {
        done = true;
        ok = success;
        statusLine = line;
    });
    exchange.start(target.host, target.port, *request, kUsersStatusCommand.replyLines);
    while (!done && !StopRequested)
        runEventsOnce(loop);

    // A stop leaves here with the exchange unfinished; going out of scope
    // closes its connection.
    if (StopRequested)
        return PollResult::Stopped;
    if (!ok)
        return PollResult::Failed;

    auto *event = new UsersStatusEvent(statusLine);
    publishHandoff();
    QCoreApplication::postEvent(m_receiver, event);
    return PollResult::Shown;
}

} // namespace vellamor
