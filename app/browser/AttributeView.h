// The attribute view lvwKTRinfo and the two lists of attributes to show in it.
#pragma once

#include <QString>

namespace tvn {
class frmMain;

// Fills the two attribute lists from the directory's user and workstation
// layouts; a layout the schema lacks leaves its list empty.
void BuildKTRLayoutList(frmMain& form);
// Shows the checked attributes of the object fullName, one row per value.
// Failures are passed over, leaving the view as far as it got; only a lost
// directory connection (600) reaches the caller, after the view was cleared.
void getKTRinfo(frmMain& form, const QString& fullName);

}  // namespace tvn
