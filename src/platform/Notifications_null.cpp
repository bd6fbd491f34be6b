#include "Notifications.h"

namespace vellamor::platform {

namespace {

class NullNotifications final : public Notifications
{
public:
    void show(const QString &, const QString &, bool) override {}
};

} // namespace

std::shared_ptr<Notifications> makeNullNotifications()
{
    return std::make_shared<NullNotifications>();
}

} // namespace vellamor::platform
