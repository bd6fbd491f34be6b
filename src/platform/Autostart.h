#pragma once

#include <QString>
#include <memory>
#include <optional>

namespace vellamor::platform {

// The user's own list of programs started at login, reduced to the one entry
// of ours: the panel started in the notification area (`--tray`).
class Autostart
{
public:
    virtual ~Autostart() = default;

    virtual bool isEnabled() const = 0;

    // Writes or removes the entry. The reason, for the user, when that
    // failed; the entry is then as it was.
    virtual std::optional<QString> setEnabled(bool enabled) = 0;
};

// The command-line option that starts the panel in the notification area.
inline constexpr char kTrayOption[] = "--tray";

// The system's list (an XDG autostart entry, the current user's Run key on
// Windows), for the program at `program` (the running executable's path).
std::shared_ptr<Autostart> makeSystemAutostart(const QString &program);

} // namespace vellamor::platform
