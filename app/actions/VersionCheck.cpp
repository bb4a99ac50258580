// The console generation is not detected yet: the flag stays as start-up
// left it (the older generation, consoles from \sys\public\win32\), and the
// menus keep their design.
#include "app/actions/VersionCheck.h"

namespace tvn::VersionCheck {

void CheckConsoleVersion(frmMain&) {}

}  // namespace tvn::VersionCheck
