// Resolving a user to the workstations the user is logged in from.
#pragma once

#include <QString>

namespace tvn {
class frmMain;

void checkLogin(frmMain& form, const QString& userFullName);

}  // namespace tvn
