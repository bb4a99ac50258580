// The workstation database. Its file name is settled; the build itself is
// not written yet, so a build request (the button or /dbbuild) leaves the
// file as it is.
#include "app/lookup/WorkstationDatabase.h"

#include "app/shell/frmMain.h"

namespace tvn {

QString databaseFileName(const frmMain& form) {
    return form.dbDirectory + "\\" + form.treeName + ".lst";
}

void makeDB(frmMain&) {}

}  // namespace tvn
