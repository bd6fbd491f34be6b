#pragma once

#include "Platform.h"
#include "dialogs/about.h"

#include <QStringList>
#include <functional>

class QApplication;

namespace vellamor {

class TForm3;

struct StartupOptions
{
    // How long the splash stays up unless the user closes it.
    int splashMilliseconds = int(TAboutBox::kSplashDuration.count());
    // Called once the main window is shown and the message loop is about to run.
    std::function<void(TForm3 &)> whenShown;
    // `--tray`: no splash and no window, only the icon in the notification area.
    bool inTray = false;
};

// The options the command line gives: `--tray` is the one the panel reads.
StartupOptions startupOptionsFrom(const QStringList &arguments);

// The program's start-up sequence and message loop: builds the main window and
// runs its loading, shows the splash, shows the window and runs until it
// closes. Returns the program's exit code, which is 0.
int runPanel(QApplication &app, const platform::Platform &platform, const StartupOptions &options = {});

} // namespace vellamor
