// The two directory trees of the main window: the remote-action tree
// TreeViewRC and the database-context tree TreeViewWS, loaded level by level.
#pragma once

#include <QString>

namespace tvn {
class frmMain;

// Builds the database-context tree from the tree root.
void BrowseStartWS(frmMain& form);
// Builds the remote-action tree and reopens the saved context.
void BrowseStartRC(frmMain& form);
// Expands TreeViewRC down to fullName and selects that node.
void treeExp(frmMain& form, const QString& fullName);

}  // namespace tvn
