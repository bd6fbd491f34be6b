#pragma once

#include "ServiceManager.h"

#include <memory>
#include <utility>

namespace vellamor {

// Owns one handle of the service manager, of either kind, and closes it
// through the manager that opened it: when it is reset, assigned over or goes
// out of scope. It does not keep the manager alive: a handle travels inside
// the manager's own pending replies, and a manager that is gone has taken its
// handles with it. A null handle ("could not be opened") owns nothing.
class UniqueServiceHandle
{
public:
    using Handle = platform::ServiceManager::Handle;

    UniqueServiceHandle() = default;
    UniqueServiceHandle(std::weak_ptr<platform::ServiceManager> manager, Handle handle)
        : m_manager(handle ? std::move(manager) : std::weak_ptr<platform::ServiceManager>()), m_handle(handle)
    {
    }
    ~UniqueServiceHandle() { reset(); }

    UniqueServiceHandle(const UniqueServiceHandle &) = delete;
    UniqueServiceHandle &operator=(const UniqueServiceHandle &) = delete;
    UniqueServiceHandle(UniqueServiceHandle &&other) noexcept
        : m_manager(std::move(other.m_manager)), m_handle(std::exchange(other.m_handle, nullptr))
    {
    }
    UniqueServiceHandle &operator=(UniqueServiceHandle &&other) noexcept
    {
        if (this != &other) {
            reset();
            m_manager = std::move(other.m_manager);
            m_handle = std::exchange(other.m_handle, nullptr);
        }
        return *this;
    }

    Handle get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }

    // Closes the handle now.
    void reset()
    {
        if (m_handle) {
            if (const auto manager = m_manager.lock())
                manager->close(m_handle);
        }
        m_handle = nullptr;
        m_manager.reset();
    }

private:
    std::weak_ptr<platform::ServiceManager> m_manager;
    Handle m_handle = nullptr;
};

} // namespace vellamor
