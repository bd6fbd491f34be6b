#include "ServiceManager.h"

#include <windows.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

// The Windows service manager. Each operation is one call of the Service Control
// Manager API; the page above decides what a failure means, so nothing here
// retries or reports.
//
// Opening and querying answer at once: the manager keeps every service's last
// reported status and hands it out without asking the service. A command can
// wait: StartService until the service's process has connected (up to the
// manager's own time limit of half a minute), ControlService until the
// service's handler returns. Commands therefore run one after the other on a
// worker thread of their own and report back through the poster.
namespace vellamor::platform {

namespace {

SC_HANDLE scHandle(ServiceManager::Handle handle)
{
    return static_cast<SC_HANDLE>(handle);
}

// The system's words for the last error, in UTF-8, without the line break.
std::string lastErrorText()
{
    const DWORD error = GetLastError();
    wchar_t *buffer = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, error, 0, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    std::string text;
    if (length > 0 && buffer) {
        const int size =
            WideCharToMultiByte(CP_UTF8, 0, buffer, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
        text.resize(static_cast<std::size_t>(size));
        WideCharToMultiByte(CP_UTF8, 0, buffer, static_cast<int>(length), text.data(), size, nullptr, nullptr);
    }
    if (buffer)
        LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    if (text.empty())
        text = "Error " + std::to_string(error);
    return text;
}

class WindowsServiceManager final : public ServiceManager
{
public:
    explicit WindowsServiceManager(ReplyPoster post) : m_post(std::move(post)) {}

    ~WindowsServiceManager() override
    {
        // A command under way ends by the manager's own time limit; those not
        // yet begun are dropped.
        {
            const std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_all();
        if (m_worker.joinable())
            m_worker.join();
    }

    WindowsServiceManager(const WindowsServiceManager &) = delete;
    WindowsServiceManager &operator=(const WindowsServiceManager &) = delete;

    // Connecting is all it takes to open a service in it, and all that a user
    // who is not an administrator is granted.
    void openManager(Reply<Handle> done) override { done(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT)); }

    void openService(Handle manager, const std::string &name, std::uint32_t access, Reply<Handle> done) override
    {
        done(manager ? OpenServiceA(scHandle(manager), name.c_str(), access) : nullptr);
    }

    void queryState(Handle service, Reply<std::optional<std::uint32_t>> done) override
    {
        SERVICE_STATUS_PROCESS status{};
        DWORD needed = 0;
        if (!service || !QueryServiceStatusEx(scHandle(service), SC_STATUS_PROCESS_INFO,
                                              reinterpret_cast<LPBYTE>(&status), sizeof status, &needed)) {
            done(std::nullopt);
            return;
        }
        done(status.dwCurrentState);
    }

    void start(Handle service, Reply<Outcome> done) override
    {
        request(service, std::move(done), [](SC_HANDLE handle) { return StartServiceA(handle, 0, nullptr) != FALSE; });
    }
    void stop(Handle service, Reply<Outcome> done) override { control(service, SERVICE_CONTROL_STOP, std::move(done)); }
    void pause(Handle service, Reply<Outcome> done) override
    {
        control(service, SERVICE_CONTROL_PAUSE, std::move(done));
    }
    void resume(Handle service, Reply<Outcome> done) override
    {
        control(service, SERVICE_CONTROL_CONTINUE, std::move(done));
    }

    void close(Handle handle) override
    {
        if (handle)
            CloseServiceHandle(scHandle(handle));
    }

private:
    struct Job
    {
        std::function<Outcome()> run;
        Reply<Outcome> done;
    };

    void control(Handle service, DWORD code, Reply<Outcome> done)
    {
        request(service, std::move(done), [code](SC_HANDLE handle) {
            // The manager writes the service's last reported status here; the
            // caller learns the new state from its next query instead.
            SERVICE_STATUS status{};
            return ControlService(handle, code, &status) != FALSE;
        });
    }

    void request(Handle service, Reply<Outcome> done, std::function<bool(SC_HANDLE)> call)
    {
        if (!service) {
            done({});
            return;
        }
        auto run = [handle = scHandle(service), call = std::move(call)]() -> Outcome {
            if (call(handle))
                return {true, {}};
            return {false, lastErrorText()};
        };
        // Without a poster there is no thread to report back to: the call
        // then waits where it was made.
        if (!m_post) {
            done(run());
            return;
        }
        {
            const std::lock_guard lock(m_mutex);
            m_jobs.push_back({run, std::move(done)});
            if (!m_worker.joinable())
                m_worker = std::thread([this] { work(); });
        }
        m_wake.notify_one();
    }

    // The worker: one command at a time, each reply posted back to the
    // thread that asked. The handle is the caller's, who closes it only once
    // the reply is back.
    void work()
    {
        for (;;) {
            Job job;
            {
                std::unique_lock lock(m_mutex);
                m_wake.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
                if (m_stopping)
                    return;
                job = std::move(m_jobs.front());
                m_jobs.pop_front();
            }
            Outcome outcome = job.run();
            m_post([done = std::move(job.done), outcome = std::move(outcome)] { done(outcome); });
        }
    }

    ReplyPoster m_post;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Job> m_jobs;
    bool m_stopping = false;
    std::thread m_worker;
};

} // namespace

std::unique_ptr<ServiceManager> makeSystemServiceManager(ReplyPoster post)
{
    return std::make_unique<WindowsServiceManager>(std::move(post));
}

} // namespace vellamor::platform
