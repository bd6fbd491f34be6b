#pragma once

#include "Controls.h"
#include "FakePlatform.h"
#include "window/VellamorDesktopMain.h"

#include <QColor>
#include <QLabel>
#include <QSignalSpy>
#include <QStatusBar>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <memory>

namespace vellamor::test {

inline const QStringList kStatusPictures{"StatusUnknown", "StatusRunning", "StatusStoped", "ServicePaused"};
inline const QStringList kCommandLabels{"StartService_lbl",  "StopService_lbl",      "PauseService_lbl",
                                        "ResumeService_lbl", "UninstallService_lbl", "InstallService_lbl"};

// The panel's main window on a fake platform around a given service manager,
// with the Service page read back the way a user sees it.
struct ServicePanel
{
    explicit ServicePanel(std::shared_ptr<platform::ServiceManager> manager)
    {
        platform.serviceManager = std::move(manager);
        window = std::make_unique<TForm3>(platform.platform());
        // Ticks come only when a test asks for them.
        control<QTimer>(*window, "Timer2")->setInterval(3600 * 1000);
    }

    FakeDialogs &dialogs() { return *platform.dialogs; }

    QWidget *widget(const QString &name) const { return window->findChild<QWidget *>(name); }

    QLabel *status() const { return control<QLabel>(*window, "status_lbl"); }
    QString caption() const { return control<QLabel>(*window, "status_lbl")->text(); }

    // Shows the window and lets the window system activate it, as at start-up,
    // and waits for the monitor's first display (it replaces the caption the
    // form was built with).
    bool activate()
    {
        window->show();
        if (!QTest::qWaitForWindowActive(window.get()))
            return false;
        return QTest::qWaitFor([this] { return window->Activated && caption() != QLatin1StringView("Stopped"); });
    }

    // One tick of the service timer, as it comes every five seconds.
    bool tick()
    {
        QSignalSpy ticked(control<QTimer>(*window, "Timer2"), &QTimer::timeout);
        const int interval = control<QTimer>(*window, "Timer2")->interval();
        control<QTimer>(*window, "Timer2")->setInterval(1);
        const bool ok = ticked.wait(5000);
        control<QTimer>(*window, "Timer2")->setInterval(interval);
        return ok;
    }

    // The service timer ticking all the time, fast.
    void tickFast() { control<QTimer>(*window, "Timer2")->setInterval(20); }

    QString visiblePictures() const
    {
        QStringList shown;
        for (const QString &name : kStatusPictures)
            if (!widget(name)->isHidden())
                shown << name;
        return shown.join(QLatin1Char(','));
    }

    QString enabledLabels() const
    {
        QStringList enabled;
        for (const QString &name : kCommandLabels)
            if (widget(name)->isEnabled())
                enabled << name;
        return enabled.join(QLatin1Char(','));
    }

    QColor captionColour() const { return status()->palette().color(QPalette::WindowText); }

    void click(const QString &label) { QTest::mouseClick(widget(label), Qt::LeftButton); }

    QString statusBar() const { return control<QStatusBar>(*window, "StatusBar1")->currentMessage(); }

    FakePlatform platform;
    std::unique_ptr<TForm3> window;
};

} // namespace vellamor::test
