#pragma once

#include <functional>

class QObject;

namespace vellamor {

class TForm3;
struct ManagementCommand;

// The window's side of the management channel: the status poller behind the
// users count, and the one-line commands (the reloads) sent to the server at
// the target the window holds in ManagementSettings.
class ManagementLink
{
public:
    explicit ManagementLink(TForm3 &window) : m_window(window) {}

    void startPoller();
    // After a successful Save: the poller asks the saved host, port and
    // password from its next cycle on.
    void retargetPoller();
    // Orderly stop at close: the poller is joined, the commands abandoned.
    void stop();

    // One command with the current target, without waiting for it; whenDone
    // runs on the window's thread once it has been sent or has failed.
    void send(const ManagementCommand &command, const std::function<void()> &whenDone);
    // The users reload is offered while the window knows where to send it.
    void updateUsersReloadAction();

private:
    void showUsersStatusUnknown();

    TForm3 &m_window;
    bool m_stopped = false;
    // Parent of the commands still under way; deleting it abandons them.
    QObject *m_commands = nullptr;
};

} // namespace vellamor
