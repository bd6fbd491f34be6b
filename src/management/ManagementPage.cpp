#include "app/VellamorDesktopMain.h"

#include <QTimer>

namespace vellamor {

void TForm3::ShowUsersStatus(const QByteArray &) {}

void TForm3::Timer1Timer()
{
    Timer1->stop();
    SendUsersReload();
}

void TForm3::Timer3Timer()
{
    Timer3->stop();
    SendRulesReload();
}

void TForm3::SendRulesReload() {}
void TForm3::SendUsersReload() {}
void TForm3::startStatusPoller() {}
void TForm3::stopBackgroundWork() {}

} // namespace vellamor
