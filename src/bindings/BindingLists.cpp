#include "app/VellamorDesktopMain.h"

namespace vellamor {

void TForm3::FillSystemIPs(QListWidget *) {}

void TForm3::MoveSelectedIPs(QListWidget *, QListWidget *) {}

void TForm3::SpeedButton1Click() {}
void TForm3::SpeedButton2Click() {}
void TForm3::SpeedButton3Click() {}
void TForm3::SpeedButton4Click() {}
void TForm3::ActivateOnAll_chkClick() {}
void TForm3::ActivateOnAll_chk2Click() {}

} // namespace vellamor
