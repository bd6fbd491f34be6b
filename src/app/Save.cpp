#include "VellamorDesktopMain.h"

namespace vellamor {

void TForm3::Button1Click() {}

void TForm3::SpeedButton5Click() {}
void TForm3::SpeedButton6Click() {}
void TForm3::SpeedButton7Click() {}

void TForm3::installFieldHelpers() {}

} // namespace vellamor
