#pragma once

#include "ServiceManager.h"

#include <memory>
#include <utility>

namespace vellamor {

// Owns one handle of the service manager, of either kind, and closes it
// through the manager that opened it: when it is reset, assigned over or goes
// out of scope. It keeps the manager alive for as long as it holds the handle.
// A null handle ("could not be opened") owns nothing.
class UniqueServiceHandle
{
public:
    using Handle = platform::ServiceManager::Handle;

    UniqueServiceHandle() = default;
    UniqueServiceHandle(std::shared_ptr<platform::ServiceManager> manager, Handle handle)
        : m_manager(handle ? std::move(manager) : nullptr), m_handle(handle)
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
        if (m_handle && m_manager)
            m_manager->close(m_handle);
        m_handle = nullptr;
        m_manager.reset();
    }

private:
    std::shared_ptr<platform::ServiceManager> m_manager;
    Handle m_handle = nullptr;
};

} // namespace vellamor
