#include "FakeServiceManager.h"

namespace vellamor::test {

namespace {

const char *requestName(FakeServiceManager::Request kind)
{
    switch (kind) {
    case FakeServiceManager::Request::Start:
        return "start";
    case FakeServiceManager::Request::Stop:
        return "stop";
    case FakeServiceManager::Request::Pause:
        return "pause";
    case FakeServiceManager::Request::Resume:
        return "resume";
    }
    return "?";
}

} // namespace

FakeServiceManager::Handle FakeServiceManager::newHandle(std::uint32_t access)
{
    m_storage.push_back(std::make_unique<int>(0));
    Handle handle = m_storage.back().get();
    m_rights[handle] = access;
    openHandles.insert(handle);
    return handle;
}

void FakeServiceManager::openManager(Reply<Handle> done)
{
    calls << QStringLiteral("openManager");
    done(managerOpens ? newHandle(0) : nullptr);
}

void FakeServiceManager::openService(Handle manager, const std::string &name, std::uint32_t access, Reply<Handle> done)
{
    calls << QStringLiteral("openService %1 %2").arg(QString::fromStdString(name)).arg(access);
    lastAccess = access;
    if (!openHandles.count(manager) || m_rights[manager] != 0) {
        ++badCalls;
        done(nullptr);
        return;
    }
    const bool opens = access == QueryStatus ? serviceOpens : commandServiceOpens;
    lastServiceHandle = opens ? newHandle(access) : nullptr;
    done(lastServiceHandle);
}

void FakeServiceManager::queryState(Handle service, Reply<std::optional<std::uint32_t>> done)
{
    calls << QStringLiteral("query");
    ++queries;
    if (!openHandles.count(service) || !(m_rights[service] & QueryStatus)) {
        ++badCalls;
        done(std::nullopt);
        return;
    }
    done(state);
}

FakeServiceManager::Outcome FakeServiceManager::request(Handle service, Request kind, std::uint32_t right)
{
    calls << QLatin1StringView(requestName(kind));
    if (!openHandles.count(service) || m_rights[service] != right) {
        ++badCalls;
        return {};
    }
    return {requestsSucceed, requestsSucceed ? std::string() : refusal};
}

void FakeServiceManager::close(Handle handle)
{
    if (!handle)
        return;
    calls << QStringLiteral("close");
    if (!openHandles.erase(handle))
        ++badCalls;
    m_rights.erase(handle);
}

} // namespace vellamor::test
