#pragma once

// Plain C++ only: the Windows backend of this interface is built without Qt.

#include <memory>
#include <string>
#include <vector>

namespace vellamor::platform {

// The machine's IPv4 address table.
class AddressTable
{
public:
    virtual ~AddressTable() = default;

    // One dotted decimal entry per address row, in the system's order, loopback
    // included and duplicates kept. Empty when the system refuses the table.
    virtual std::vector<std::string> ipv4Addresses() = 0;
};

// The table of the system the panel was built for.
std::unique_ptr<AddressTable> makeSystemAddressTable();

} // namespace vellamor::platform
