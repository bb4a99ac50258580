// The directory trees are not built yet: both stay empty, and expanding to
// an object selects nothing.
#include "app/browser/treeExp.h"

namespace tvn {

void BrowseStartWS(frmMain&) {}
void BrowseStartRC(frmMain&) {}
void treeExp(frmMain&, const QString&) {}

}  // namespace tvn
