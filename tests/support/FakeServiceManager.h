#pragma once

#include "ServiceManager.h"

#include <QStringList>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

namespace vellamor::test {

// A service manager that answers from a script, at once, and remembers what
// it was asked, so a test can see the order of calls and that every handle the
// panel opened was closed again.
class FakeServiceManager final : public platform::ServiceManager
{
public:
    enum class Request { Start, Stop, Pause, Resume };

    void openManager(Reply<Handle> done) override;
    void openService(Handle manager, const std::string &name, std::uint32_t access, Reply<Handle> done) override;
    void queryState(Handle service, Reply<std::optional<std::uint32_t>> done) override;
    void start(Handle service, Reply<Outcome> done) override { done(request(service, Request::Start, Start)); }
    void stop(Handle service, Reply<Outcome> done) override { done(request(service, Request::Stop, Stop)); }
    void pause(Handle service, Reply<Outcome> done) override { done(request(service, Request::Pause, PauseContinue)); }
    void resume(Handle service, Reply<Outcome> done) override
    {
        done(request(service, Request::Resume, PauseContinue));
    }
    void close(Handle handle) override;

    // The script.
    bool managerOpens = true;
    bool serviceOpens = true;                     // for the monitor's query right
    bool commandServiceOpens = true;              // for a command's own right
    std::optional<std::uint32_t> state = Stopped; // nothing: the query fails
    bool requestsSucceed = true;
    std::string refusal = "Refused by the script"; // the detail of a failed request

    // What happened.
    QStringList calls;            // "openManager", "openService VellamorServer 16", "query", "start", "close"
    std::set<Handle> openHandles; // handles opened and not yet closed
    int queries = 0;
    Handle lastServiceHandle = nullptr;
    std::uint32_t lastAccess = 0;
    int badCalls = 0; // calls with a handle that is not open, or without the right

private:
    Outcome request(Handle service, Request kind, std::uint32_t right);
    Handle newHandle(std::uint32_t access);

    std::map<Handle, std::uint32_t> m_rights;    // 0 for the manager
    std::vector<std::unique_ptr<int>> m_storage; // what the handles point at
};

} // namespace vellamor::test
