#include "Autostart.h"

// Chosen in CMake for systems without an autostart backend of their own.
namespace vellamor::platform {

namespace {

class NullAutostart final : public Autostart
{
public:
    bool isEnabled() const override { return false; }
    std::optional<QString> setEnabled(bool enabled) override
    {
        if (!enabled)
            return std::nullopt;
        return QStringLiteral("This system has no list of programs started at login");
    }
};

} // namespace

std::shared_ptr<Autostart> makeSystemAutostart(const QString &)
{
    return std::make_shared<NullAutostart>();
}

} // namespace vellamor::platform
