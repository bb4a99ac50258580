// The control's two property pages. CQuillonPropPage ("General Properties")
// edits the seven Boolean properties with check boxes. CTreeContextPPg
// ("Network Browser") is a read-only browser of the network: the servers of
// the bindery and the trees with their containers, each level read when it
// is first expanded; it keeps the name of the selected item.
#pragma once

#include <map>
#include <string>

#include "platform/framework/proppage.h"
#include "session/browserimages.h"

class QCheckBox;
class QTreeWidget;
class QTreeWidgetItem;

namespace session {

class CQuillonPropPage : public platform::framework::PropertyPage {
public:
    CQuillonPropPage();

    // The check box with a control id of the page's dialog (202 to 208).
    QCheckBox* checkBox(int controlId) const;

private:
    std::map<int, QCheckBox*> boxes_;
};

class CTreeContextPPg : public platform::framework::PropertyPage {
public:
    // The roles of the browser's items.
    enum class Node { Root, ServersCategory, TreesCategory, Server, Tree, Container };

    CTreeContextPPg();

    QTreeWidget* tree() const { return tree_; }
    const BrowserImageList& images() const { return images_; }
    // The full name of the selected item: a directory name below "Marrel
    // Directory Services", a server name below "Kalder Servers", else "".
    const std::string& selectedName() const { return selectedName_; }

    static Node nodeOf(const QTreeWidgetItem* item);
    // The image index an item shows.
    static int imageOf(const QTreeWidgetItem* item);

private:
    QTreeWidgetItem* addItem(QTreeWidgetItem* parent, const QString& text, Node node, int image,
                             bool expandable);
    void expand(QTreeWidgetItem* item);
    void loadServers(QTreeWidgetItem* category);
    void loadTrees(QTreeWidgetItem* category);
    void loadContainers(QTreeWidgetItem* item);
    void select(QTreeWidgetItem* item);

    BrowserImageList images_;
    QTreeWidget* tree_;
    std::string selectedName_;
};

}  // namespace session
