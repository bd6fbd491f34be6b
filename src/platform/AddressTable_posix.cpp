#include "AddressTable.h"

namespace vellamor::platform {

namespace {
class PosixAddressTable final : public AddressTable
{
public:
    std::vector<std::string> ipv4Addresses() override { return {}; }
};
} // namespace

std::unique_ptr<AddressTable> makeSystemAddressTable()
{
    return std::make_unique<PosixAddressTable>();
}

} // namespace vellamor::platform
