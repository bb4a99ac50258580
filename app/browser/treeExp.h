// The two directory trees of the main window: the remote-action tree
// TreeViewRC and the database-context tree TreeViewWS, loaded level by level.
#pragma once

#include <QString>

class QTreeWidgetItem;

namespace tvn {
class frmMain;

// Builds the database-context tree from the tree root.
void BrowseStartWS(frmMain& form);
// Builds the remote-action tree and reopens the saved context.
void BrowseStartRC(frmMain& form);
// Expands TreeViewRC down to fullName and selects that node.
void treeExp(frmMain& form, const QString& fullName);

// The anchor marking of a node: bold on a light orange background (0xC0E0FF);
// removing it restores the normal font and background.
void markAnchor(QTreeWidgetItem* node, bool marked);

}  // namespace tvn
