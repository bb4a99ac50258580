// Which console generation the servers hold, asked of the directory schema
// once at start-up; it shapes the action menus and the console directory.
#pragma once

namespace tvn {
class frmMain;

namespace VersionCheck {
void CheckConsoleVersion(frmMain& form);
}

}  // namespace tvn
