// The name history: every object a console command line was built for,
// offered again in the list of the name box ImageCombo1.
#pragma once

#include <QString>

namespace tvn {
class frmMain;

// Adds one entry (key NewKey, text the dotted form of NewName, picture
// NewImage); an object already in the list is not added again.
void AddHistory(frmMain& form, QString& NewKey, QString& NewName, QString& NewImage,
                QString& Spare);

}  // namespace tvn
