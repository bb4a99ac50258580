// What the administrator does in the trees: choosing a node (a container
// becomes the search context, a user or workstation the target and its
// attributes are shown), keys, a double click or Enter (the default action on
// a user, alias or workstation), the right button (the action menu on a user
// or workstation, the tree menu on a container) and the two commands of the
// tree menu (reading a container again, fixing the search anchor). No
// failure leaves a handler; a lost directory connection while a node is
// chosen ends the program with a message.
#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidgetItem>

#include "app/actions/RemoteActions.h"
#include "app/actions/UNCtoDOTConversion.h"
#include "app/browser/AttributeView.h"
#include "app/browser/treeExp.h"
#include "app/shell/RuntimeError.h"
#include "app/shell/frmMain.h"
#include "platform/forms/imagecombo.h"
#include "platform/forms/keyedlist.h"
#include "platform/forms/keyedlistview.h"
#include "platform/forms/keyedtree.h"
#include "platform/forms/mouse.h"
#include "platform/forms/twips.h"

namespace tvn {

using platform::forms::KeyedTree;
using platform::forms::toPixels;
namespace pointer = platform::forms::pointer;

namespace {

bool isTarget(const QString& image) {
    return image == "User" || image == "Workstation";
}

void showDotted(frmMain& form, const QTreeWidgetItem* node) {
    QString dotted = KeyedTree::keyOf(node);
    form.ImageCombo1->setEditText(UNCtoDOTConversion::ConvertUNCtoDOT(dotted));
}

// The menu of a node, popped up at a point of the tree's viewport: the action
// menu for a user or workstation (which becomes the target, its container the
// search context), the tree menu for a container.
void popupNodeMenu(frmMain& form, QTreeWidgetItem* node, const QPoint& at) {
    form.TreeViewRC->selectNode(node);
    const QString image = KeyedTree::imageOf(node);
    if (isTarget(image)) {
        form.showDefaultActionCaption();
        form.treeFlag = true;
        form.historyFlag = false;
        form.resultListFlag = false;
        showDotted(form, node);
        // The object's container becomes the context of the next search.
        if (const QTreeWidgetItem* parent = node->parent()) {
            form.currentContext = KeyedTree::keyOf(parent);
            form.setStatusText("Context: " + form.currentContext);
        }
        form.services().menus->popup(*form.mnuMain, *form.TreeViewRC->viewport(), at, 2);
    } else if (isContainerClass(image)) {
        form.services().menus->popup(*form.mnuTreeManipulate, *form.TreeViewRC->viewport(), at, 2);
    }
}

}  // namespace

void frmMain::TreeViewWS_NodeClick(QTreeWidgetItem* Node) {
    setStatusText("Context: " + KeyedTree::tagOf(Node));
}

void frmMain::TreeViewRC_NodeClick(QTreeWidgetItem* Node) {
    const int failed = errorNumberOf([&] {
        const QString image = KeyedTree::imageOf(Node);
        if (isContainerClass(image)) {
            currentContext = KeyedTree::tagOf(Node);
            setStatusText("Context: " + currentContext);
            lstMultiple->clearItems();
            lstMultiple->setColumnHeader(1, "Search Results");
            lvwKTRinfo->clearItems();
        } else if (isTarget(image)) {
            Command1->setEnabled(true);
            showDefaultActionCaption();
            getKTRinfo(*this, KeyedTree::keyOf(Node));
            treeFlag = true;
            historyFlag = false;
            resultListFlag = false;
            showDotted(*this, Node);
        }
        // Other classes (an alias) change nothing.
    });
    if (failed == err::kConnectionLost) {
        svc_.msgBox("Lost connection to KTR!", platform::forms::msgbox::kOkOnly, "Tolvane");
        close();
    }
}

void frmMain::TreeViewRC_KeyPress(int KeyAscii) {
    treeFlag = true;
    historyFlag = false;
    resultListFlag = false;
    if (KeyAscii == 13) TreeViewRC_DblClick();
}

void frmMain::TreeViewRC_DblClick() {
    treeFlag = true;
    historyFlag = false;
    resultListFlag = false;
    const QTreeWidgetItem* node = TreeViewRC->selectedNode();
    if (!node) return;
    const QString image = KeyedTree::imageOf(node);
    if (image == "User" || image == "Alias") {
        setMousePointer(pointer::kHourglass);
        chosenKey = KeyedTree::keyOf(node);
        chosenImage = "User";
        setStatusText("Connecting ...");
        RemoteActions::StartRemoteAction(*this, KeyedTree::tagOf(node));
    } else if (image == "Workstation") {
        setStatusText("Connecting ...");
        chosenKey = KeyedTree::keyOf(node);
        chosenImage = "Workstation";
        RemoteActions::launchWorkstation(*this, chosenKey);
    }
}

void frmMain::TreeViewRC_MouseDown(int Button, int, double X, double Y) {
    TreeViewRC->clearSelection();
    setStatusText("");
    if (Button != platform::forms::mouse::kRightButton) return;
    const QPoint at(toPixels(X), toPixels(Y));
    QTreeWidgetItem* node = TreeViewRC->nodeAt(at);
    if (!node) return;
    popupNodeMenu(*this, node, at);
}

void frmMain::TreeViewRC_ContextMenuKey() {
    QTreeWidgetItem* node = TreeViewRC->currentItem();
    if (!node) node = TreeViewRC->selectedNode();
    if (!node) return;
    setStatusText("");
    TreeViewRC->scrollToItem(node);
    // Below the node's text, where the keyboard's place is.
    const QRect place = TreeViewRC->visualItemRect(node);
    popupNodeMenu(*this, node, QPoint(place.left() + place.height(), place.bottom()));
}

void frmMain::mnuRefreshTreeBranch_Click() {
    QString key;
    try {
        QTreeWidgetItem* node = need(TreeViewRC->selectedNode());
        key = KeyedTree::keyOf(node);
        readAgain(*this, node);
    } catch (...) {
        reportUnreadable(*this, key, std::current_exception());
    }
    setMousePointer(pointer::kDefault);
    if (anchorFixed) resumeNext([&] { showSearchAnchor(*this); });
}

void frmMain::mnuSearchAnchor_Click() {
    QAction* item = menuItem("mnuSearchAnchor");
    QTreeWidgetItem* selected = TreeViewRC->selectedNode();
    if (item->isChecked()) {
        if (!selected) {
            item->setChecked(false);
            return;
        }
        const QString key = KeyedTree::keyOf(selected);
        setStatusText(" Searching always from: " + key);
        if (anchorFixed)
            if (QTreeWidgetItem* old = TreeViewRC->node(searchAnchor)) markAnchor(old, false);
        searchAnchor = key;
        txtSearchAnchor->setText(key);
        markAnchor(selected, true);
        anchorFixed = true;
    } else {
        setStatusText("");
        anchorFixed = false;
        const QString old = searchAnchor;
        searchAnchor.clear();
        if (QTreeWidgetItem* node = TreeViewRC->node(old)) markAnchor(node, false);
        txtSearchAnchor->setText(kNoSearchAnchor);
    }
}

}  // namespace tvn
