// Which console generation the servers hold, asked of the directory schema
// once at start-up: the newer generation defines the field type
// "RK:Harbex File Transfer". The answer shapes the action menus, the
// default-action button, the inventory server setting and the console folder.
#pragma once

namespace tvn {
class frmMain;

namespace VersionCheck {
// Sets the window's console-generation flag with a directory control of its
// own. Only "no such field type" (603) means the older generation; any other
// answer, failures included, means the newer one.
void CheckConsoleVersion(frmMain& form);
}  // namespace VersionCheck

}  // namespace tvn
