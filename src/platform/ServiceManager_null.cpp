#include "ServiceManager.h"

namespace vellamor::platform {

namespace {

class NullServiceManager final : public ServiceManager
{
public:
    Handle openManager() override { return nullptr; }
    Handle openService(Handle, const std::string &, std::uint32_t) override { return nullptr; }
    std::optional<std::uint32_t> queryState(Handle) override { return std::nullopt; }
    bool start(Handle) override { return false; }
    bool stop(Handle) override { return false; }
    bool pause(Handle) override { return false; }
    bool resume(Handle) override { return false; }
    void close(Handle) override {}
};

} // namespace

std::unique_ptr<ServiceManager> makeNullServiceManager()
{
    return std::make_unique<NullServiceManager>();
}

} // namespace vellamor::platform
