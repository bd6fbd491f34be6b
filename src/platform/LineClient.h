#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

namespace vellamor::platform {

// A TCP client that speaks in lines. Filled in by the management channel.
class LineClient
{
public:
    virtual ~LineClient() = default;
};

// Makes one client per exchange: every management command has its own connection.
class LineClientFactory
{
public:
    virtual ~LineClientFactory() = default;
    virtual std::unique_ptr<LineClient> create() = 0;
};

} // namespace vellamor::platform
