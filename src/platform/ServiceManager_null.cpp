#include "ServiceManager.h"

namespace vellamor::platform {

namespace {

class NullServiceManager final : public ServiceManager
{
public:
    void openManager(Reply<Handle> done) override { done(nullptr); }
    void openService(Handle, const std::string &, std::uint32_t, Reply<Handle> done) override { done(nullptr); }
    void queryState(Handle, Reply<std::optional<std::uint32_t>> done) override { done(std::nullopt); }
    void start(Handle, Reply<Outcome> done) override { done({}); }
    void stop(Handle, Reply<Outcome> done) override { done({}); }
    void pause(Handle, Reply<Outcome> done) override { done({}); }
    void resume(Handle, Reply<Outcome> done) override { done({}); }
    void close(Handle) override {}
};

} // namespace

std::unique_ptr<ServiceManager> makeNullServiceManager()
{
    return std::make_unique<NullServiceManager>();
}

} // namespace vellamor::platform
