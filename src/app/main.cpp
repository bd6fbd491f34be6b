#include "Startup.h"
#include "VellamorApplication.h"

int main(int argc, char **argv)
{
    vellamor::VellamorApplication app(argc, argv);
    return vellamor::runPanel(app, vellamor::platform::makeSystemPlatform());
}
