#include "AddressTable.h"

// Chosen in CMake for systems without an address table backend: no addresses.
namespace vellamor::platform {

namespace {
class NullAddressTable final : public AddressTable
{
public:
    std::vector<std::string> ipv4Addresses() override { return {}; }
};
} // namespace

std::unique_ptr<AddressTable> makeSystemAddressTable()
{
    return std::make_unique<NullAddressTable>();
}

} // namespace vellamor::platform
