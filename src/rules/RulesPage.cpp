#include "app/VellamorDesktopMain.h"

namespace vellamor {

void TForm3::LoadRules() {}

void TForm3::SaveRules() {}

void TForm3::Button2Click() {}

void TForm3::Button3Click() {}

void TForm3::Delete1Click() {}

} // namespace vellamor
