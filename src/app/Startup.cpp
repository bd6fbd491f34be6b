#include "Startup.h"

#include "common/AppInfo.h"
#include "dialogs/ErrorReporter.h"
#include "dialogs/about.h"
#include "window/VellamorDesktopMain.h"

#include <QApplication>
#include <QScreen>
#include <QStringList>
#include <QTimer>
#include <memory>

namespace vellamor {

StartupOptions startupOptionsFrom(const QStringList &arguments)
{
    StartupOptions options;
    options.inTray = arguments.contains(QLatin1StringView(platform::kTrayOption));
    return options;
}

int runPanel(QApplication &app, const platform::Platform &platform, const StartupOptions &options)
{
    app.setApplicationName(kApplicationTitle);
    QGuiApplication::setDesktopFileName(kDesktopFileId);
    app.setQuitOnLastWindowClosed(true);

    std::unique_ptr<TForm3> form;
    std::unique_ptr<TAboutBox> splash;
    const bool started = ErrorReporter(platform.dialogs).run([&] {
        form = std::make_unique<TForm3>(platform);
        form->FormCreate();
        if (options.inTray)
            return;

        // The splash belongs to the application, not to the main window, which
        // is not shown yet. It closes itself, or the user closes it earlier.
        splash = std::make_unique<TAboutBox>();
        splash->Timer1->setInterval(options.splashMilliseconds);
        splash->Timer1->start();
        splash->exec();
        splash->Timer1->stop();
    });
    if (!started)
        return 0;

    form->PageControl1->setCurrentIndex(0);
    if (options.inTray) {
        form->startInTray();
        if (options.whenShown)
            QTimer::singleShot(0, form.get(), [&options, &form] { options.whenShown(*form); });
        app.exec();
        return 0;
    }
    // The window opens in the middle of the screen it starts on.
    if (const QScreen *screen = form->screen()) {
        QRect frame = form->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        form->move(frame.topLeft());
    }
    form->show();
    form->raise();
    form->activateWindow();
    if (options.whenShown)
        QTimer::singleShot(0, form.get(), [&options, &form] { options.whenShown(*form); });
    app.exec();
    return 0;
}

} // namespace vellamor
