// The name history: every object a console command line was built for,
// offered again in the list of the name box ImageCombo1 and kept per tree in
// the "History" section, one key "<full name>;<image key>" per entry. The
// store is written at each addition and cleared at each purge, never at
// shutdown.
#pragma once

#include <QString>

namespace tvn {
class frmMain;

// Adds one entry (key NewKey, text the dotted form of NewName, picture
// NewImage) to the list and to the store; an object already in the list is
// not added again. Spare is not used.
void AddHistory(frmMain& form, QString& NewKey, QString& NewName, QString& NewImage,
                QString& Spare);

// Lists the stored entries of the tree, in the store's order; an entry that
// cannot be shown (no ";", a picture the image list lacks, a name already
// listed) is skipped and stays in the store.
void LoadHistory(frmMain& form);

// Empties the list and removes the tree's history from the store.
void PurgeHistory(frmMain& form);

}  // namespace tvn
