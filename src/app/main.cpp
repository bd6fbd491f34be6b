#include "Startup.h"
#include "VellamorApplication.h"

int main(int argc, char **argv)
{
    vellamor::VellamorApplication app(argc, argv);
    const vellamor::platform::Platform platform = vellamor::platform::makeSystemPlatform();
    app.setErrorReporter(vellamor::ErrorReporter(platform.dialogs));
    return vellamor::runPanel(app, platform, vellamor::startupOptionsFrom(app.arguments()));
}
