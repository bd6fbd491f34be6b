#pragma once

#include "ServiceManager.h"
#include "service/ServiceState.h"
#include "service/ServiceWatch.h"
#include "service/UniqueServiceHandle.h"

#include <QColor>
#include <QPointer>
#include <functional>

namespace vellamor {

class ServiceLogWindow;
class TForm3;
class TrayArea;

// The Service page's watch over the service: the handles it opens, the state
// it shows and the commands it sends, one at a time, and the server's log.
class ServiceMonitor
{
public:
    ServiceMonitor(TForm3 &window, TrayArea &tray) : m_window(window), m_tray(tray) {}

    // One of the four commands of the page.
    struct Command
    {
        const char *question;
        std::uint32_t access;
        void (platform::ServiceManager::*request)(platform::ServiceManager::Handle,
                                                  platform::ServiceManager::Reply<platform::ServiceManager::Outcome>);
        const char *failure;
        const char *waiting; // in the status bar while the request is under way
        ServiceCommandKind kind;
    };

    void open();
    void refresh();
    void show(ServiceDisplayState state);
    void run(const Command &command);
    void showLog();
    // At close: the handles go, and the replies still due find the monitor
    // closed and close what they bring.
    void close();

    // The status caption's colour as the display table gives it; it is shown
    // in the nearest shade that reads well on the palette in use.
    QColor captionColour() const { return m_captionColour; }

private:
    platform::ServiceManager *serviceManager() const;
    // The service may have changed its state: show it now.
    void mayHaveChanged();
    void finish(const Command &command, const platform::ServiceManager::Outcome &outcome);
    template<class T> platform::ServiceManager::Reply<T> reply(std::function<void(T)> then);
    platform::ServiceManager::Reply<platform::ServiceManager::Handle>
    handleReply(std::function<void(UniqueServiceHandle)> then);

    TForm3 &m_window;
    TrayArea &m_tray;
    bool m_closed = false;
    bool m_opening = false;     // the monitor's handles are on their way
    bool m_queryBusy = false;   // a status query is under way
    bool m_queryAgain = false;  // ...and the service changed since it was sent
    bool m_commandBusy = false; // a command waits for its answer
    QColor m_captionColour{Qt::black};
    QPointer<ServiceLogWindow> m_log;
};

} // namespace vellamor
