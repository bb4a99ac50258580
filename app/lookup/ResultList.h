// The items of the result list lstMultiple that cannot be acted on: the
// message items of a user's resolution, which have no key.
#pragma once

class QString;

namespace tvn {
class frmMain;

// An address that no workstation of the database has: the item
// "Workstation not in database: " + the address.
bool isMessageItem(const QString& text);

// Whether the row of lstMultiple has no object to act on; if so, the status
// bar says why (update the database, or the item's own text: "User not
// logged in!").
bool refuseKeylessItem(frmMain& form, int row);

}  // namespace tvn
