#pragma once

#include <QLatin1StringView>
#include <QStringList>

namespace vellamor {

namespace platform {
class AddressTable;
}

// The address text that stands for all of the machine's addresses, in a list
// of listening addresses as in a rule.
inline constexpr QLatin1StringView kAllAddresses{"0.0.0.0"};

// The machine's IPv4 addresses as the address lists offer them: the system's
// order, every row as often as the system has it, so the administrator
// recognises the list from the system's own tools.
QStringList systemAddresses(platform::AddressTable &table);

} // namespace vellamor
