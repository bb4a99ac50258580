// The workstation database: the file "<database directory>\<tree name>.lst"
// that lists every workstation of a directory subtree with its addresses.
#pragma once

#include <QString>

namespace tvn {
class frmMain;

// The database file of the run, in the platform's form (translate it with
// localPath at the file call).
QString databaseFileName(const frmMain& form);

// Builds the database from the build context of the command line, or from
// the container chosen in the database tree.
void makeDB(frmMain& form);

}  // namespace tvn
