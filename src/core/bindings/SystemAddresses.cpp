#include "SystemAddresses.h"

#include "AddressTable.h"

namespace vellamor {

QStringList systemAddresses(platform::AddressTable &table)
{
    QStringList addresses;
    for (const std::string &address : table.ipv4Addresses())
        addresses.append(QString::fromStdString(address));
    return addresses;
}

} // namespace vellamor
