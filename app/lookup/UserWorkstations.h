// Finding the workstations a user is logged in from: the user's addresses
// from the directory, the database read for a lookup, and the result-list
// item of one address. The resolution after a name search (checkLogin) and
// the action dispatch (StartRemoteAction) share these steps; each keeps its
// own procedure around them.
#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tvn {
class DatabaseIndex;
class frmMain;
class KDDirEntry;

// The "Network Address" values of a user; the first is "" when the user is
// logged in nowhere (also when the user's layout has no such field).
QStringList networkAddresses(const KDDirEntry& user);

// The database file of the run, whole. Raises RuntimeError 53 when it does
// not exist, 76 when its folder does not, 75 when it cannot be read, is no
// regular file or is too large for a database (see DatabaseFile.h).
std::string readDatabase(const frmMain& form);

// The same file indexed for lookups: read and indexed at its first use and
// again only once it changed (see DatabaseIndex.h). Raises as readDatabase.
std::shared_ptr<const DatabaseIndex> readIndexedDatabase(const frmMain& form);

// The database for a lookup. When it cannot be read the administrator is
// told: a missing file or folder with a message and the "Workstation
// Database" settings page, where it is built; other failures in the status
// bar. Then it gives nothing and the mouse pointer is the normal one again.
std::shared_ptr<const DatabaseIndex> openDatabase(frmMain& form);

// The full name of the workstation that the database names for a lookup key.
std::optional<QString> workstationFor(const DatabaseIndex& database, std::string_view key);

// Adds the result-list item of one of a user's addresses (with its lookup
// key): its workstation, or "Workstation not in database: " + the value. A
// workstation already listed is not listed again.
void addWorkstationItem(frmMain& form, const DatabaseIndex& database, std::string_view key,
                        const QString& addressValue);

}  // namespace tvn
