#pragma once

#include "FakeDialogs.h"
#include "Platform.h"

#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

namespace vellamor::test {

// An address table that answers what the test tells it.
class FakeAddressTable final : public platform::AddressTable
{
public:
    std::vector<std::string> ipv4Addresses() override { return addresses; }
    std::vector<std::string> addresses{"127.0.0.1"};
};

// Records the pages the panel asked the desktop to open.
class FakeDesktop final : public platform::Desktop
{
public:
    bool openUrl(const QString &url) override
    {
        opened.append(url);
        return succeed;
    }
    QStringList opened;
    bool succeed = true;
};

// Records the notices instead of showing them.
class RecordedNotifications final : public platform::Notifications
{
public:
    void show(const QString &summary, const QString &, bool) override { summaries.append(summary); }
    QStringList summaries;
};

// The login entry as a flag; `failure` makes writing it fail with that reason.
class FakeAutostart final : public platform::Autostart
{
public:
    bool isEnabled() const override { return enabled; }
    std::optional<QString> setEnabled(bool wanted) override
    {
        if (failure)
            return failure;
        enabled = wanted;
        return std::nullopt;
    }
    bool enabled = false;
    std::optional<QString> failure;
};

// A platform for tests: scripted dialogs, a temporary executable directory,
// a fake address table and desktop, no service manager, and the system's own
// way to the service's log (a test puts a stand-in journalctl on the PATH).
struct FakePlatform
{
    FakePlatform();

    QString dir() const { return tempDir.path(); }
    QString path(const QString &name) const;
    platform::Platform platform() const;

    QTemporaryDir tempDir;
    std::shared_ptr<FakeDialogs> dialogs = std::make_shared<FakeDialogs>();
    std::shared_ptr<platform::FileSystem> fileSystem;
    std::shared_ptr<FakeDesktop> desktop = std::make_shared<FakeDesktop>();
    std::shared_ptr<platform::ServiceManager> serviceManager;
    std::shared_ptr<platform::ServiceLogs> serviceLogs = platform::makeSystemServiceLogs();
    std::shared_ptr<FakeAddressTable> addressTable = std::make_shared<FakeAddressTable>();
    // Real clients: the management tests talk to real servers on loopback.
    std::shared_ptr<platform::LineClientFactory> lineClients = platform::makeQtLineClientFactory();
    std::shared_ptr<RecordedNotifications> notifications = std::make_shared<RecordedNotifications>();
    std::shared_ptr<FakeAutostart> autostart = std::make_shared<FakeAutostart>();
};

} // namespace vellamor::test
