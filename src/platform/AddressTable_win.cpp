#include "AddressTable.h"

// winsock2.h first: windows.h would otherwise pull in the old winsock.h.
#include <winsock2.h>

#include <windows.h>

#include <iphlpapi.h>

#include <cstdio>
#include <new>

// The machine's IPv4 addresses from the IP Helper's address table.
namespace vellamor::platform {

namespace {

// Dotted decimal text of an address in network byte order.
std::string dottedDecimal(DWORD networkOrderAddress)
{
    in_addr address{};
    address.S_un.S_addr = networkOrderAddress;
    if (const char *text = inet_ntoa(address))
        return text;
    // inet_ntoa has no reason to refuse a plain address, but an address row must
    // never be dropped: write it out by hand from its bytes.
    const auto *bytes = reinterpret_cast<const unsigned char *>(&networkOrderAddress);
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", bytes[0], bytes[1], bytes[2], bytes[3]);
    return text;
}

class WindowsAddressTable final : public AddressTable
{
public:
    std::vector<std::string> ipv4Addresses() override
    {
        // First ask for the size the table needs, then for the table itself. The
        // system's order is kept (no sorting): the lists show the rows as they come.
        ULONG size = 0;
        if (GetIpAddrTable(nullptr, &size, FALSE) != ERROR_INSUFFICIENT_BUFFER)
            return {};
        // Rows are DWORD fields; operator new gives memory aligned for any of them.
        std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[size]);
        if (!buffer)
            return {};
        auto *table = reinterpret_cast<MIB_IPADDRTABLE *>(buffer.get());
        if (GetIpAddrTable(table, &size, FALSE) != NO_ERROR)
            return {};

        std::vector<std::string> addresses;
        addresses.reserve(table->dwNumEntries);
        for (DWORD row = 0; row < table->dwNumEntries; ++row)
            addresses.push_back(dottedDecimal(table->table[row].dwAddr));
        return addresses;
    }
};

} // namespace

std::unique_ptr<AddressTable> makeSystemAddressTable()
{
    return std::make_unique<WindowsAddressTable>();
}

} // namespace vellamor::platform
