// Resolving a user to the workstations the user is logged in from, after a
// name search found that one user.
#pragma once

#include <QString>

namespace tvn {
class frmMain;

// Lists in lstMultiple, under "Workstation(s) currently in use ...", the
// workstation the database names for each of the user's addresses, or
// "Workstation not in database: " + the address; the file server node
// 000000000001 and addresses of other kinds get no item. A user logged in
// nowhere gets the item "User not logged in!", an entry that is not a user
// an empty list.
void checkLogin(frmMain& form, const QString& userFullName);

}  // namespace tvn
