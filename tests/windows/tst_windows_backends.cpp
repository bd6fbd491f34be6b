// The Windows backends of the service manager and the address table, run against
// the system's real Service Control Manager and IP Helper (under Wine in CI).
//
// The service backend is driven only through its interface, the way the Service
// page drives it: one manager handle and one query handle for the whole run, and
// every command on a handle of its own, opened with the command's one access
// right and closed afterwards. The replies that the backend posts back from its
// worker thread run when the test waits for them, as in the window's event
// loop. Raw Win32 calls appear only to install and remove the test services, to
// take on a restricted token, and to read the machine's addresses independently.
//
// Needs the right to create services (an administrator on Windows; any user in
// a Wine prefix). Prints "N passed, N failed" and exits non-zero on any failure.

#include "platform/AddressTable.h"
#include "platform/ServiceManager.h"

// winsock2.h first: windows.h would otherwise pull in the old winsock.h.
#include <winsock2.h>

#include <windows.h>

#include <iphlpapi.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

using vellamor::platform::ServiceManager;
using Handle = ServiceManager::Handle;
using Outcome = ServiceManager::Outcome;

namespace {

const char *const TestServiceName = "VellamorDesktopTestService";
const char *const NoPauseServiceName = "VellamorDesktopTestServiceNoPause";
const char *const MissingServiceName = "VellamorDesktopNoSuchService";
const char *const SlowServiceName = "VellamorDesktopTestServiceSlow";

// A service that takes longer than this for one transition is broken.
const DWORD TransitionTimeoutMs = 20000;

int g_passed = 0;
int g_failed = 0;

void check(bool ok, const std::string &what)
{
    if (ok) {
        ++g_passed;
    } else {
        ++g_failed;
        std::printf("FAIL: %s\n", what.c_str());
    }
    std::fflush(stdout);
}

const char *stateName(std::optional<std::uint32_t> state)
{
    if (!state)
        return "(query failed)";
    switch (*state) {
    case ServiceManager::Stopped:
        return "stopped";
    case ServiceManager::StartPending:
        return "start pending";
    case ServiceManager::StopPending:
        return "stop pending";
    case ServiceManager::Running:
        return "running";
    case ServiceManager::ContinuePending:
        return "continue pending";
    case ServiceManager::PausePending:
        return "pause pending";
    case ServiceManager::Paused:
        return "paused";
    }
    return "(unknown state)";
}

void checkState(std::optional<std::uint32_t> state, std::initializer_list<std::uint32_t> allowed,
                const std::string &what)
{
    const bool ok = state && std::find(allowed.begin(), allowed.end(), *state) != allowed.end();
    check(ok, what + ": got " + stateName(state));
}

// The replies the backend posts from its worker thread. They run on the test's
// thread when it waits for them: the stand-in for the window's event loop.
class ReplyQueue
{
public:
    vellamor::platform::ReplyPoster poster()
    {
        return [this](std::function<void()> reply) {
            const std::lock_guard lock(m_mutex);
            m_replies.push_back(std::move(reply));
            m_postedFrom = GetCurrentThreadId();
            ++m_posted;
            m_arrived.notify_all();
        };
    }

    // Runs the posted replies until done() holds or the time is up.
    bool runUntil(const std::function<bool()> &done, DWORD timeoutMs = TransitionTimeoutMs)
    {
        const ULONGLONG deadline = GetTickCount64() + timeoutMs;
        while (!done()) {
            std::unique_lock lock(m_mutex);
            if (m_replies.empty()) {
                const ULONGLONG now = GetTickCount64();
                if (now >= deadline)
                    return false;
                m_arrived.wait_for(lock, std::chrono::milliseconds(deadline - now));
                continue;
            }
            const std::function<void()> reply = std::move(m_replies.front());
            m_replies.pop_front();
            lock.unlock();
            reply();
        }
        return true;
    }

    int posted()
    {
        const std::lock_guard lock(m_mutex);
        return m_posted;
    }

    DWORD postedFrom()
    {
        const std::lock_guard lock(m_mutex);
        return m_postedFrom;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_arrived;
    std::deque<std::function<void()>> m_replies;
    int m_posted = 0;
    DWORD m_postedFrom = 0;
};

// The backend with each operation waited for, as a step of a test.
class Waiting
{
public:
    Waiting(ServiceManager &manager, ReplyQueue &replies) : m_manager(manager), m_replies(replies) {}

    ServiceManager &manager() { return m_manager; }

    Handle openManager()
    {
        return wait<Handle>([this](auto done) { m_manager.openManager(done); });
    }
    Handle openService(Handle scm, const char *name, std::uint32_t access)
    {
        return wait<Handle>([&](auto done) { m_manager.openService(scm, name, access, done); });
    }
    std::optional<std::uint32_t> queryState(Handle service)
    {
        return wait<std::optional<std::uint32_t>>([&](auto done) { m_manager.queryState(service, done); });
    }
    bool start(Handle service) { return request(&ServiceManager::start, service); }
    bool stop(Handle service) { return request(&ServiceManager::stop, service); }
    bool pause(Handle service) { return request(&ServiceManager::pause, service); }
    bool resume(Handle service) { return request(&ServiceManager::resume, service); }
    void close(Handle handle) { m_manager.close(handle); }

private:
    bool request(void (ServiceManager::*call)(Handle, ServiceManager::Reply<Outcome>), Handle service)
    {
        return wait<Outcome>([&](auto done) { (m_manager.*call)(service, done); }).accepted;
    }

    // A reply that never comes counts as a failure; the result lives on the
    // heap so that a late one has somewhere to go.
    template<class T, class Call> T wait(Call call)
    {
        auto result = std::make_shared<std::optional<T>>();
        call(ServiceManager::Reply<T>([result](T value) { *result = std::move(value); }));
        if (!m_replies.runUntil([&result] { return result->has_value(); })) {
            check(false, "a reply of the service manager came in time");
            return T{};
        }
        return **result;
    }

    ServiceManager &m_manager;
    ReplyQueue &m_replies;
};

// Service transitions are asynchronous: poll the query handle, bounded, until
// the service reaches the state or the time is up, and return the last answer.
std::optional<std::uint32_t> waitForState(Waiting &manager, Handle service, std::uint32_t wanted)
{
    const ULONGLONG deadline = GetTickCount64() + TransitionTimeoutMs;
    for (;;) {
        const auto state = manager.queryState(service);
        if ((state && *state == wanted) || GetTickCount64() > deadline)
            return state;
        Sleep(20);
    }
}

// One command as the Service page runs it: a fresh handle with one access
// right, the request, and the handle closed whatever the outcome.
using Request = bool (Waiting::*)(Handle);

bool command(Waiting &manager, Handle scm, const char *name, std::uint32_t access, Request request)
{
    Handle service = manager.openService(scm, name, access);
    if (!service)
        return false;
    const bool ok = (manager.*request)(service);
    manager.close(service);
    return ok;
}

bool startCommand(Waiting &m, Handle scm, const char *name)
{
    return command(m, scm, name, ServiceManager::Start, &Waiting::start);
}
bool stopCommand(Waiting &m, Handle scm, const char *name)
{
    return command(m, scm, name, ServiceManager::Stop, &Waiting::stop);
}
bool pauseCommand(Waiting &m, Handle scm, const char *name)
{
    return command(m, scm, name, ServiceManager::PauseContinue, &Waiting::pause);
}
bool resumeCommand(Waiting &m, Handle scm, const char *name)
{
    return command(m, scm, name, ServiceManager::PauseContinue, &Waiting::resume);
}

// ---- installing and removing the test services (raw Win32, setup only) ----

std::string testServicePath()
{
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path, length);
    dir.erase(dir.find_last_of("\\/") + 1);
    return dir + "VellamorTestService.exe";
}

// Stops and deletes a service of that name; true when it is gone or was never there.
bool removeService(SC_HANDLE scm, const char *name)
{
    SC_HANDLE service = OpenServiceA(scm, name, SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE);
    if (!service)
        return GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST;
    SERVICE_STATUS status{};
    if (ControlService(service, SERVICE_CONTROL_STOP, &status)) {
        const ULONGLONG deadline = GetTickCount64() + TransitionTimeoutMs;
        while (QueryServiceStatus(service, &status) && status.dwCurrentState != SERVICE_STOPPED &&
               GetTickCount64() < deadline)
            Sleep(20);
    }
    const bool deleted = DeleteService(service);
    CloseServiceHandle(service);
    return deleted;
}

bool installService(SC_HANDLE scm, const char *name, const std::string &arguments)
{
    removeService(scm, name);
    const std::string commandLine = "\"" + testServicePath() + "\"" + arguments;
    SC_HANDLE service =
        CreateServiceA(scm, name, name, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                       SERVICE_ERROR_NORMAL, commandLine.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
    if (!service) {
        std::printf("CreateServiceA(%s) failed with error %lu\n", name, GetLastError());
        return false;
    }
    CloseServiceHandle(service);
    return true;
}

// After DeleteService the manager keeps the service until the last handle to it
// is closed; meanwhile Windows refuses to open it with
// ERROR_SERVICE_MARKED_FOR_DELETE and Wine still opens it. Only once every handle
// is closed does opening fail with ERROR_SERVICE_DOES_NOT_EXIST, so a deleted
// service that never gets there means some handle to it was left open. The
// service's own process lets go of its handle as it exits, a little after
// reporting "stopped", hence the wait. Returns the last error, 0 when it opened.
DWORD lastOpenErrorAfterDelete(SC_HANDLE scm, const char *name)
{
    const ULONGLONG deadline = GetTickCount64() + TransitionTimeoutMs;
    for (;;) {
        SC_HANDLE service = OpenServiceA(scm, name, SERVICE_QUERY_STATUS);
        const DWORD error = service ? ERROR_SUCCESS : GetLastError();
        if (service)
            CloseServiceHandle(service);
        if (error == ERROR_SERVICE_DOES_NOT_EXIST || GetTickCount64() > deadline)
            return error;
        Sleep(20);
    }
}

// ---- the checks ----

void testServiceLifecycle(Waiting &manager, Handle scm)
{
    // The monitor's handle: query right only, held for the whole run.
    Handle monitor = manager.openService(scm, TestServiceName, ServiceManager::QueryStatus);
    check(monitor != nullptr, "the test service opens with the query right");
    checkState(manager.queryState(monitor), {ServiceManager::Stopped}, "a freshly installed service is stopped");

    check(!pauseCommand(manager, scm, TestServiceName), "pause is refused while the service is stopped");
    check(!stopCommand(manager, scm, TestServiceName), "stop is refused while the service is stopped");

    check(startCommand(manager, scm, TestServiceName), "start is accepted");
    checkState(manager.queryState(monitor), {ServiceManager::StartPending, ServiceManager::Running},
               "right after start the service is starting or running");
    checkState(waitForState(manager, monitor, ServiceManager::Running), {ServiceManager::Running},
               "the started service comes up running");
    check(!startCommand(manager, scm, TestServiceName), "a second start is refused while it runs");

    check(pauseCommand(manager, scm, TestServiceName), "pause is accepted");
    checkState(manager.queryState(monitor), {ServiceManager::PausePending, ServiceManager::Paused},
               "right after pause the service is pausing or paused");
    checkState(waitForState(manager, monitor, ServiceManager::Paused), {ServiceManager::Paused},
               "the paused service comes to rest paused");

    check(resumeCommand(manager, scm, TestServiceName), "resume is accepted");
    checkState(manager.queryState(monitor), {ServiceManager::ContinuePending, ServiceManager::Running},
               "right after resume the service is continuing or running");
    checkState(waitForState(manager, monitor, ServiceManager::Running), {ServiceManager::Running},
               "the resumed service comes to rest running");

    check(stopCommand(manager, scm, TestServiceName), "stop is accepted");
    checkState(manager.queryState(monitor), {ServiceManager::StopPending, ServiceManager::Stopped},
               "right after stop the service is stopping or stopped");
    checkState(waitForState(manager, monitor, ServiceManager::Stopped), {ServiceManager::Stopped},
               "the stopped service comes to rest stopped");

    // A command handle has only the right it was opened with.
    Handle queryOnly = manager.openService(scm, TestServiceName, ServiceManager::QueryStatus);
    check(queryOnly != nullptr && !manager.start(queryOnly), "start on a handle with the query right only fails");
    manager.close(queryOnly);
    Handle startOnly = manager.openService(scm, TestServiceName, ServiceManager::Start);
    check(startOnly != nullptr && !manager.queryState(startOnly), "query on a handle with the start right only fails");
    manager.close(startOnly);
    checkState(manager.queryState(monitor), {ServiceManager::Stopped}, "the refused start left the service stopped");

    manager.close(monitor);
}

void testServiceWithoutPause(Waiting &manager, Handle scm)
{
    Handle monitor = manager.openService(scm, NoPauseServiceName, ServiceManager::QueryStatus);
    check(monitor != nullptr, "the service without pause opens with the query right");
    check(startCommand(manager, scm, NoPauseServiceName), "start of the service without pause is accepted");
    checkState(waitForState(manager, monitor, ServiceManager::Running), {ServiceManager::Running},
               "the service without pause comes up running");

    check(!pauseCommand(manager, scm, NoPauseServiceName), "pause is refused by a service that does not accept it");
    checkState(manager.queryState(monitor), {ServiceManager::Running}, "the refused pause left the service running");
    check(!resumeCommand(manager, scm, NoPauseServiceName), "resume is refused by a service that does not accept it");
    checkState(manager.queryState(monitor), {ServiceManager::Running}, "the refused resume left the service running");

    check(stopCommand(manager, scm, NoPauseServiceName), "stop of the service without pause is accepted");
    checkState(waitForState(manager, monitor, ServiceManager::Stopped), {ServiceManager::Stopped},
               "the service without pause comes to rest stopped");
    manager.close(monitor);
}

void testMissingService(Waiting &manager, Handle scm)
{
    for (const std::uint32_t access :
         {ServiceManager::QueryStatus, ServiceManager::Start, ServiceManager::Stop, ServiceManager::PauseContinue})
        check(manager.openService(scm, MissingServiceName, access) == nullptr,
              "a missing service does not open with access " + std::to_string(access));
    check(manager.openService(nullptr, TestServiceName, ServiceManager::QueryStatus) == nullptr,
          "no service opens without a manager");

    // What the page does with the null handle it got.
    check(!manager.queryState(nullptr), "the query of a null handle fails");
    check(!manager.start(nullptr), "start on a null handle fails");
    check(!manager.stop(nullptr), "stop on a null handle fails");
    check(!manager.pause(nullptr), "pause on a null handle fails");
    check(!manager.resume(nullptr), "resume on a null handle fails");
    manager.close(nullptr);

    check(!startCommand(manager, scm, MissingServiceName), "the start command on a missing service fails");
    check(!stopCommand(manager, scm, MissingServiceName), "the stop command on a missing service fails");
    check(!pauseCommand(manager, scm, MissingServiceName), "the pause command on a missing service fails");
    check(!resumeCommand(manager, scm, MissingServiceName), "the resume command on a missing service fails");
}

// A command that waits in the manager (here for a service whose process takes
// seconds to connect) runs off the caller's thread: the caller gets on with
// its queries meanwhile, and the reply comes back through the poster.
void testSlowCommandLeavesTheCallerFree(Waiting &manager, ReplyQueue &replies, Handle scm)
{
    Handle monitor = manager.openService(scm, SlowServiceName, ServiceManager::QueryStatus);
    Handle starter = manager.openService(scm, SlowServiceName, ServiceManager::Start);
    check(monitor && starter, "the slow service opens for the query and for the start");

    const int postedBefore = replies.posted();
    auto outcome = std::make_shared<std::optional<Outcome>>();
    manager.manager().start(starter, [outcome](Outcome value) { *outcome = std::move(value); });
    check(!outcome->has_value(), "the start returns before its reply");
    checkState(manager.queryState(monitor), {ServiceManager::Stopped, ServiceManager::StartPending},
               "the caller's query is answered while the start waits");
    check(replies.posted() == postedBefore, "the start was still waiting in the manager when the query came back");

    check(replies.runUntil([&outcome] { return outcome->has_value(); }), "the start's reply comes back");
    check(outcome->has_value() && (*outcome)->accepted, "the slow start is accepted");
    check(replies.postedFrom() != GetCurrentThreadId(), "the start ran on a thread other than the caller's");
    manager.close(starter);

    checkState(waitForState(manager, monitor, ServiceManager::Running), {ServiceManager::Running},
               "the slow service comes up running");
    check(stopCommand(manager, scm, SlowServiceName), "the slow service stops");
    checkState(waitForState(manager, monitor, ServiceManager::Stopped), {ServiceManager::Stopped},
               "the slow service comes to rest stopped");
    manager.close(monitor);
}

// The monitor as a user who is not an administrator runs it: the thread takes
// on a token without the Administrators group and without privileges.
void testMonitorWithRestrictedToken(Waiting &manager)
{
    HANDLE own = nullptr;
    HANDLE restricted = nullptr;
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    const bool made = OpenProcessToken(GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY | TOKEN_IMPERSONATE, &own) &&
                      AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0,
                                               0, 0, 0, 0, 0, &administrators);
    SID_AND_ATTRIBUTES disabled{administrators, 0};
    const bool restrictedMade =
        made && CreateRestrictedToken(own, DISABLE_MAX_PRIVILEGE, 1, &disabled, 0, nullptr, 0, nullptr, &restricted);
    const bool impersonating = restrictedMade && ImpersonateLoggedOnUser(restricted);
    check(impersonating, "the test takes on a restricted token (error " + std::to_string(GetLastError()) + ")");

    if (impersonating) {
        // What the classic full-access open gets here, for the record: a real
        // Windows refuses it to such a token.
        SC_HANDLE full = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        const DWORD fullError = full ? ERROR_SUCCESS : GetLastError();
        std::printf("note: with the restricted token, full access to the service manager is %s\n",
                    full ? "granted" : ("refused, error " + std::to_string(fullError)).c_str());
        if (full)
            CloseServiceHandle(full);

        Handle scm = manager.openManager();
        check(scm != nullptr, "the restricted token opens the service manager to connect");
        Handle monitor = manager.openService(scm, TestServiceName, ServiceManager::QueryStatus);
        check(monitor != nullptr, "the restricted token opens the service for its status");
        checkState(manager.queryState(monitor), {ServiceManager::Stopped}, "the restricted token reads the status");
        manager.close(monitor);
        manager.close(scm);
        RevertToSelf();
    }
    if (administrators)
        FreeSid(administrators);
    if (restricted)
        CloseHandle(restricted);
    if (own)
        CloseHandle(own);
}

std::string dotted(const in_addr &address)
{
    const char *text = inet_ntoa(address);
    return text ? text : "(inet_ntoa failed)";
}

// Every IPv4 unicast address of every adapter, from the adapters' side of the
// IP Helper: the set the address table must hold.
std::vector<std::string> adapterAddresses()
{
    std::vector<std::string> addresses;
    ULONG size = 64 * 1024;
    std::vector<unsigned char> buffer;
    ULONG result = ERROR_BUFFER_OVERFLOW;
    for (int attempt = 0; attempt < 4 && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
        buffer.resize(size);
        result =
            GetAdaptersAddresses(AF_INET, GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER,
                                 nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES *>(buffer.data()), &size);
    }
    if (result != NO_ERROR) {
        std::printf("GetAdaptersAddresses failed with error %lu\n", result);
        return addresses;
    }
    for (auto *adapter = reinterpret_cast<IP_ADAPTER_ADDRESSES *>(buffer.data()); adapter; adapter = adapter->Next) {
        for (auto *unicast = adapter->FirstUnicastAddress; unicast; unicast = unicast->Next) {
            const auto *socketAddress = unicast->Address.lpSockaddr;
            if (socketAddress && socketAddress->sa_family == AF_INET)
                addresses.push_back(dotted(reinterpret_cast<const sockaddr_in *>(socketAddress)->sin_addr));
        }
    }
    return addresses;
}

// The address table's rows in the system's order, read in one call into a
// buffer far larger than any table: the order the backend must keep.
std::vector<std::string> addressTableRows()
{
    std::vector<std::string> rows;
    std::vector<DWORD> buffer(64 * 1024);
    ULONG size = static_cast<ULONG>(buffer.size() * sizeof(DWORD));
    auto *table = reinterpret_cast<MIB_IPADDRTABLE *>(buffer.data());
    const DWORD result = GetIpAddrTable(table, &size, FALSE);
    if (result != NO_ERROR) {
        std::printf("GetIpAddrTable failed with error %lu\n", result);
        return rows;
    }
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
        in_addr address{};
        address.S_un.S_addr = table->table[i].dwAddr;
        rows.push_back(dotted(address));
    }
    return rows;
}

std::string joined(const std::vector<std::string> &list)
{
    std::string text = "[";
    for (const auto &entry : list)
        text += (text.size() > 1 ? ", " : "") + entry;
    return text + "]";
}

void testAddressTable()
{
    const auto listed = vellamor::platform::makeSystemAddressTable()->ipv4Addresses();
    std::printf("address table: %s\n", joined(listed).c_str());

    check(std::find(listed.begin(), listed.end(), "127.0.0.1") != listed.end(), "the loopback address is listed");

    auto expected = adapterAddresses();
    auto got = listed;
    std::sort(expected.begin(), expected.end());
    std::sort(got.begin(), got.end());
    check(!expected.empty() && got == expected,
          "every address of every adapter is listed once: expected " + joined(expected) + ", got " + joined(got));

    const auto rows = addressTableRows();
    check(listed == rows,
          "the addresses keep the system's order: expected " + joined(rows) + ", got " + joined(listed));
}

} // namespace

int main()
{
    std::setvbuf(stdout, nullptr, _IONBF, 0);

    ReplyQueue replies;
    auto backend = vellamor::platform::makeSystemServiceManager(replies.poster());
    Waiting manager(*backend, replies);
    Handle scm = manager.openManager();
    check(scm != nullptr, "the service manager opens to connect");

    SC_HANDLE setup = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    const bool installed = setup && installService(setup, TestServiceName, "") &&
                           installService(setup, NoPauseServiceName, " --no-pause") &&
                           installService(setup, SlowServiceName, " --slow-start");
    check(installed, "the test services are installed");

    if (scm && installed) {
        testServiceLifecycle(manager, scm);
        testServiceWithoutPause(manager, scm);
        testSlowCommandLeavesTheCallerFree(manager, replies, scm);
        testMonitorWithRestrictedToken(manager);
    }
    testMissingService(manager, scm);
    manager.close(scm);
    backend.reset();

    if (setup) {
        for (const char *name : {TestServiceName, NoPauseServiceName, SlowServiceName}) {
            check(removeService(setup, name), std::string("the test service ") + name + " is deleted");
            const DWORD error = lastOpenErrorAfterDelete(setup, name);
            const std::string seen = error == ERROR_SUCCESS ? "it still opens" : "error " + std::to_string(error);
            check(error == ERROR_SERVICE_DOES_NOT_EXIST,
                  std::string("no handle to ") + name + " was left open (after the delete " + seen + ")");
        }
        CloseServiceHandle(setup);
    }

    testAddressTable();

    std::printf("%d passed, %d failed\n", g_passed, g_failed);
    return g_failed == 0 ? 0 : 1;
}
