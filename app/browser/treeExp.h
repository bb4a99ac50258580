// The two directory trees of the main window: the remote-action tree
// TreeViewRC and the database-context tree TreeViewWS, loaded level by level.
// A node's Key and Tag are the entry's full name, its Image its class. A
// container whose level has not been read yet has one placeholder child,
// "_dummy_", keyed "dummy." + the container's key, which gives it an expand
// button; expanding it reads the level once.
#pragma once

#include <QString>
#include <exception>
#include <vector>

class QTreeWidgetItem;

namespace tvn {
class frmMain;
class KDDirEntry;

// What txtSearchAnchor shows while no anchor is fixed; it completes the label
// "Search starts always from within".
inline constexpr const char* kNoSearchAnchor = "the current browser's context.";

// Whether a class is one of the containers a tree can be expanded into and
// a name search can start from.
bool isContainerClass(const QString& image);

// Builds the database-context tree from the tree root.
void BrowseStartWS(frmMain& form);
// Builds the remote-action tree and reopens the saved context; a saved
// context that names no node any more gives way to the tree root.
void BrowseStartRC(frmMain& form);

// Adds one level of entries below the node ParentNodeKey, in the entries'
// order: the remote-action tree and the database-context tree.
void RCFillTreeLevel(frmMain& form, const std::vector<KDDirEntry>& Entries,
                     const QString& ParentNodeKey);
void FillTreeLevel(frmMain& form, const std::vector<KDDirEntry>& Entries,
                   const QString& ParentNodeKey);

// Takes a container of TreeViewRC out with everything below it and puts it
// back unread and selected, so that its next expansion reads it afresh; the
// tree root is built again instead, from the saved context.
void readAgain(frmMain& form, QTreeWidgetItem* node);

// Expands TreeViewRC down to Context (a full name) and selects its node.
// Raises errors::kElementNotFound when a node on the way does not exist.
void treeExp(frmMain& form, const QString& Context);

// Says in the status bar that the directory could not be read at fullName.
void reportUnreadable(frmMain& form, const QString& fullName, std::exception_ptr failure);

// The anchor marking of a node: bold on a light orange background (0xC0E0FF);
// removing it restores the normal font and background.
void markAnchor(QTreeWidgetItem* node, bool marked);
// Expands TreeViewRC down to the search anchor's container, opens it and
// marks the anchor's node; raises when the anchor names no node.
void showSearchAnchor(frmMain& form);

}  // namespace tvn
