#include "app/VellamorDesktopMain.h"

namespace vellamor {

void TForm3::OpenServiceMonitor() {}
void TForm3::RefreshServiceStatus() {}
void TForm3::ShowServiceStatus(ServiceDisplayState) {}
void TForm3::Timer2Timer() { RefreshServiceStatus(); }
void TForm3::StartService_lblClick() {}
void TForm3::StopService_lblClick() {}
void TForm3::PauseService_lblClick() {}
void TForm3::ResumeService_lblClick() {}
void TForm3::UninstallService_lblClick() {}
void TForm3::InstallService_lblClick() {}
void TForm3::closeServiceMonitor() {}

} // namespace vellamor
