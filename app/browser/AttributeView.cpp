// The attribute view is not built yet: the lists stay empty.
#include "app/browser/AttributeView.h"

namespace tvn {

void BuildKTRLayoutList(frmMain&) {}
void getKTRinfo(frmMain&, const QString&) {}

}  // namespace tvn
