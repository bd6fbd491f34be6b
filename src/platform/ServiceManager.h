#pragma once

// Plain C++ only: the Windows backend of this interface is built without Qt.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace vellamor::platform {

// The system's service manager, reduced to what the Service page needs.
// Handles are opaque; a null handle (nullptr) means "could not be opened".
//
// Nothing here may hold up the caller: the service manager is another process
// that can be slow, hung, or waiting for an administrator to type a password.
// So every operation but close answers through a reply instead of returning:
//   - the reply runs once, on the thread that asked: either before the call
//     returns, or later from that thread's event loop (replies still due when
//     the manager is destroyed are dropped);
//   - a backend whose calls can wait does them off the caller's thread or
//     asynchronously, with a time limit, so that every reply does come;
//   - a reply may arrive after the caller has lost interest: whoever receives
//     a handle owns it and closes it.
class ServiceManager
{
public:
    using Handle = void *;
    template<class T> using Reply = std::function<void(T)>;

    // What became of a command: accepted, or refused with the system's own
    // words for why (UTF-8, may be empty), for the status bar.
    struct Outcome
    {
        bool accepted = false;
        std::string detail;
    };

    // Access rights for openService, with the values the Windows service
    // manager gives them.
    static constexpr std::uint32_t QueryStatus = 0x0004;
    static constexpr std::uint32_t Start = 0x0010;
    static constexpr std::uint32_t Stop = 0x0020;
    static constexpr std::uint32_t PauseContinue = 0x0040;

    // Service states as queryState reports them (the dwCurrentState values).
    static constexpr std::uint32_t Stopped = 1;
    static constexpr std::uint32_t StartPending = 2;
    static constexpr std::uint32_t StopPending = 3;
    static constexpr std::uint32_t Running = 4;
    static constexpr std::uint32_t ContinuePending = 5;
    static constexpr std::uint32_t PausePending = 6;
    static constexpr std::uint32_t Paused = 7;

    virtual ~ServiceManager() = default;

    // Opens the local service manager with the right to open services in it;
    // nullptr on failure.
    virtual void openManager(Reply<Handle> done) = 0;

    // Opens a service through an open manager with one access right; nullptr on failure.
    virtual void openService(Handle manager, const std::string &name, std::uint32_t access, Reply<Handle> done) = 0;

    // The service's current state, or nothing when the query fails.
    virtual void queryState(Handle service, Reply<std::optional<std::uint32_t>> done) = 0;

    // The commands. They may wait for the administrator to authorise them.
    virtual void start(Handle service, Reply<Outcome> done) = 0;
    virtual void stop(Handle service, Reply<Outcome> done) = 0;
    virtual void pause(Handle service, Reply<Outcome> done) = 0;
    virtual void resume(Handle service, Reply<Outcome> done) = 0;

    // Calls changed, on the thread that asked, whenever the service behind an
    // open handle may have changed its state, until the handle is closed. A
    // backend that cannot tell never calls it; the caller's periodic refresh
    // covers that.
    // By value: a backend that watches keeps the callback.
    // NOLINTNEXTLINE(performance-unnecessary-value-param)
    virtual void watch(Handle /*service*/, std::function<void()> /*changed*/) {}

    // Releases a handle of either kind, at once. A null handle is ignored.
    virtual void close(Handle handle) = 0;
};

// Hands a piece of work to the thread that asked for it (the window's):
// backends that work on a thread of their own report back through it.
using ReplyPoster = std::function<void(std::function<void()>)>;

// A manager that cannot be opened: the page shows the service as unavailable.
std::unique_ptr<ServiceManager> makeNullServiceManager();

// The backend for the system the panel was built for (Windows service manager,
// systemd on Linux, the null manager elsewhere).
std::unique_ptr<ServiceManager> makeSystemServiceManager(ReplyPoster post);

} // namespace vellamor::platform
