// A real Windows service for the backend tests: it does nothing but go through
// the states a service goes through. Every transition is reported twice, first
// the pending state and then the final one, from the service's own thread, the
// way a real server hands its work off from the control handler.
//
//   VellamorTestService.exe [--no-pause] [--slow-start]
//
// --no-pause starts it without accepting pause and continue; --slow-start
// makes its process take seconds before it connects to the service manager,
// which holds up the StartService call that started it.

#include <windows.h>

#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>

namespace {

bool g_acceptPauseContinue = true;

std::mutex g_mutex;
std::condition_variable g_requestArrived;
std::deque<DWORD> g_requests;
SERVICE_STATUS_HANDLE g_statusHandle = nullptr;
SERVICE_STATUS g_status{};

// Callers hold g_mutex.
void report(DWORD state, DWORD waitHint = 0)
{
    const bool pending = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING ||
                         state == SERVICE_PAUSE_PENDING || state == SERVICE_CONTINUE_PENDING;
    g_status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    g_status.dwCurrentState = state;
    g_status.dwWin32ExitCode = NO_ERROR;
    g_status.dwServiceSpecificExitCode = 0;
    g_status.dwControlsAccepted = 0;
    if (!pending && state != SERVICE_STOPPED) {
        g_status.dwControlsAccepted = SERVICE_ACCEPT_STOP;
        if (g_acceptPauseContinue)
            g_status.dwControlsAccepted |= SERVICE_ACCEPT_PAUSE_CONTINUE;
    }
    g_status.dwCheckPoint = pending ? g_status.dwCheckPoint + 1 : 0;
    g_status.dwWaitHint = waitHint;
    SetServiceStatus(g_statusHandle, &g_status);
}

// A moment of pretended work, so that a pending state can be seen from outside.
void work()
{
    Sleep(100);
}

DWORD WINAPI handler(DWORD control, DWORD, LPVOID, LPVOID)
{
    std::lock_guard lock(g_mutex);
    switch (control) {
    case SERVICE_CONTROL_STOP:
        report(SERVICE_STOP_PENDING, 5000);
        break;
    case SERVICE_CONTROL_PAUSE:
        if (!g_acceptPauseContinue)
            return ERROR_CALL_NOT_IMPLEMENTED;
        report(SERVICE_PAUSE_PENDING, 5000);
        break;
    case SERVICE_CONTROL_CONTINUE:
        if (!g_acceptPauseContinue)
            return ERROR_CALL_NOT_IMPLEMENTED;
        report(SERVICE_CONTINUE_PENDING, 5000);
        break;
    case SERVICE_CONTROL_INTERROGATE:
        report(g_status.dwCurrentState, g_status.dwWaitHint);
        return NO_ERROR;
    default:
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
    g_requests.push_back(control);
    g_requestArrived.notify_one();
    return NO_ERROR;
}

void WINAPI serviceMain(DWORD argc, LPSTR *argv)
{
    const char *name = argc > 0 ? argv[0] : "";
    g_statusHandle = RegisterServiceCtrlHandlerExA(name, handler, nullptr);
    if (!g_statusHandle)
        return;

    {
        std::lock_guard lock(g_mutex);
        report(SERVICE_START_PENDING, 5000);
    }
    work();
    std::unique_lock lock(g_mutex);
    report(SERVICE_RUNNING);

    for (;;) {
        g_requestArrived.wait(lock, [] { return !g_requests.empty(); });
        const DWORD request = g_requests.front();
        g_requests.pop_front();
        lock.unlock();
        work();
        lock.lock();
        switch (request) {
        case SERVICE_CONTROL_STOP:
            report(SERVICE_STOPPED);
            return;
        case SERVICE_CONTROL_PAUSE:
            report(SERVICE_PAUSED);
            break;
        case SERVICE_CONTROL_CONTINUE:
            report(SERVICE_RUNNING);
            break;
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--no-pause") == 0)
            g_acceptPauseContinue = false;
        if (std::strcmp(argv[i], "--slow-start") == 0)
            Sleep(3000);
    }

    // One service in its own process: the manager ignores the name in the table.
    char name[] = "";
    SERVICE_TABLE_ENTRYA table[] = {{name, serviceMain}, {nullptr, nullptr}};
    if (!StartServiceCtrlDispatcherA(table))
        return static_cast<int>(GetLastError());
    return 0;
}
