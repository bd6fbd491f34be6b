#pragma once

#include "Controls.h"
#include "FakePlatform.h"
#include "management/Statusthread.h"
#include "window/VellamorDesktopMain.h"

#include <QLabel>
#include <QTest>
#include <chrono>
#include <memory>

namespace vellamor::test {

// The real main window on a fake platform whose management clients are real
// ones with the given step limit, so that the tests reach real servers on
// loopback and need not wait out the product's five seconds.
struct Panel
{
    explicit Panel(std::chrono::milliseconds stepLimit = std::chrono::seconds(5))
    {
        fake.lineClients = platform::makeQtLineClientFactory(stepLimit);
        form = std::make_unique<TForm3>(fake.platform());
    }

    void target(const QString &host, qint32 port, const QString &password)
    {
        form->ManagementSettings.Host = host;
        form->ManagementSettings.Port = port;
        form->ManagementSettings.Password = password;
    }

    // Runs the window's first activation, which starts the poller, then
    // shortens the poller's cycle. The window stays unshown: nothing here
    // needs it painted, and Qt's own painting threads stay out of the
    // ThreadSanitizer runs of these tests.
    bool activate(std::chrono::milliseconds cycle)
    {
        form->FormActivate();
        if (!form->StatusPoller)
            return false;
        form->StatusPoller->setCycleInterval(cycle);
        return true;
    }

    QString caption() const { return control<QLabel>(*form, "TotalPorts_lbl")->text(); }

    FakePlatform fake;
    std::unique_ptr<TForm3> form;
};

} // namespace vellamor::test
