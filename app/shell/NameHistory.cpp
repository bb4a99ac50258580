// The name history is not kept yet; acting on an object leaves no entry.
#include "app/shell/NameHistory.h"

namespace tvn {

void AddHistory(frmMain&, QString&, QString&, QString&, QString&) {}

}  // namespace tvn
