#include "app/VellamorDesktopMain.h"

namespace vellamor {

void TForm3::LoadGlobalConfig() {}

void TForm3::SaveGlobalConfig() {}

} // namespace vellamor
