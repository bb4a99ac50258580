// The attribute view lvwKTRinfo and the two lists of attributes to show in it.
#pragma once

#include <QString>

namespace tvn {
class frmMain;

// Fills the two attribute lists from the directory's user and workstation layouts.
void BuildKTRLayoutList(frmMain& form);
// Shows the chosen attributes of the object fullName.
void getKTRinfo(frmMain& form, const QString& fullName);

}  // namespace tvn
