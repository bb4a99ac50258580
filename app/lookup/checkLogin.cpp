// Users are not resolved to workstations yet: a single user hit starts nothing.
#include "app/lookup/checkLogin.h"

namespace tvn {

void checkLogin(frmMain&, const QString&) {}

}  // namespace tvn
