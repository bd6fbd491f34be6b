#include "AddressTable.h"

#include <arpa/inet.h>
#include <array>
#include <cstring>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace vellamor::platform {

namespace {

struct IfAddrsDeleter
{
    void operator()(ifaddrs *list) const { freeifaddrs(list); }
};

class PosixAddressTable final : public AddressTable
{
public:
    std::vector<std::string> ipv4Addresses() override
    {
        ifaddrs *raw = nullptr;
        if (getifaddrs(&raw) != 0)
            return {};
        const std::unique_ptr<ifaddrs, IfAddrsDeleter> list(raw);

        // The kernel's order: interface by interface, each interface's
        // addresses as they were added. An address held twice is listed twice.
        std::vector<std::string> addresses;
        for (const ifaddrs *entry = list.get(); entry; entry = entry->ifa_next) {
            if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET)
                continue;
            sockaddr_in address{};
            std::memcpy(&address, entry->ifa_addr, sizeof address);
            std::array<char, INET_ADDRSTRLEN> text{};
            if (inet_ntop(AF_INET, &address.sin_addr, text.data(), text.size()))
                addresses.emplace_back(text.data());
        }
        return addresses;
    }
};

} // namespace

std::unique_ptr<AddressTable> makeSystemAddressTable()
{
    return std::make_unique<PosixAddressTable>();
}

} // namespace vellamor::platform
